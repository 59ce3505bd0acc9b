#include "DeviceKinds.h"

#include <algorithm>
#include <array>

namespace printing {

DeviceState AskService(const std::string& device_uri, const DeviceQuery& query) {
  return query.transport.AskService(device_uri, query.deadline);
}

std::span<const DeviceKind> DeviceKinds() {
  // docs/devices.md shows this table to users: keep the two alike.
  // clang-format off
  static constexpr std::array kinds{
      //         scheme    asked by        what is asked
      DeviceKind{"ipp",    AskIppPrinter},   // Get-Printer-Attributes: state, reasons, accepting
      DeviceKind{"ipps",   AskIppPrinter},   // the same over TLS
      DeviceKind{"http",   AskIppPrinter},
      DeviceKind{"https",  AskIppPrinter},
      DeviceKind{"socket", AskTcpPort},      // takes a connection, keeps it 200 ms
      DeviceKind{"lpd",    AskTcpPort},
      DeviceKind{"smb",    AskSmbServer},    // takes a connection: the URI's port, else 445 or 139
      DeviceKind{"hp",     AskHpPrinter},    // /net/: SNMP GET of the device ID; /usb/: on the bus
      DeviceKind{"hpfax",  AskHpPrinter},
      DeviceKind{"bjnp",   AskBjnpPrinter},  // BJNP get-ID over UDP
      DeviceKind{"beh",    AskBehindBeh},    // the URI inside
      DeviceKind{"dnssd",  AskService},      // the platform resolves the service, then as above
      DeviceKind{"usb",    AskUsbPrinter},   // on the bus
  };
  // clang-format on
  return kinds;
}

namespace {

// The scheme of `uri` in lower case: what stands before its first ':'.
std::string SchemeOf(const std::string& uri) {
  const auto colon = uri.find(':');
  if (colon == std::string::npos) return "";
  std::string scheme = uri.substr(0, colon);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c); });
  return scheme;
}

}  // namespace

std::string WhereAt(const std::string& host, const std::vector<int>& ports) {
  std::string where = host;
  for (std::size_t i = 0; i < ports.size(); ++i)
    where += (i == 0 ? " port " : " or ") + std::to_string(ports[i]);
  return where;
}

DeviceState CheckDevice(const std::string& device_uri, Transport& transport, const Deadline& deadline,
                        bool describe, const SnmpAccess& snmp) {
  const DeviceQuery query{transport, deadline, describe, 0, snmp};
  return CheckInside(device_uri, query);
}

DeviceState CheckInside(const std::string& device_uri, const DeviceQuery& query) {
  const std::string scheme = SchemeOf(device_uri);
  const auto kinds = DeviceKinds();
  const auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const DeviceKind& k) { return k.scheme == scheme; });
  if (kind == kinds.end()) return DeviceState{};
  return kind->ask(device_uri, query);
}

}  // namespace printing
