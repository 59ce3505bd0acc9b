#include "DeviceKinds.h"

#include <algorithm>
#include <array>

namespace printing {

DeviceState AskService(const std::string& device_uri, const DeviceQuery& query) {
  return query.transport.AskService(device_uri, query.deadline);
}

std::span<const DeviceKind> DeviceKinds() {
  static constexpr std::array kinds{
      DeviceKind{"ipp", AskIppPrinter},     DeviceKind{"ipps", AskIppPrinter},  DeviceKind{"http", AskIppPrinter},
      DeviceKind{"https", AskIppPrinter},   DeviceKind{"socket", AskTcpPort},   DeviceKind{"lpd", AskTcpPort},
      DeviceKind{"smb", AskSmbServer},      DeviceKind{"dnssd", AskService},    DeviceKind{"usb", AskUsbPrinter},
      DeviceKind{"hp", AskHpPrinter},       DeviceKind{"hpfax", AskHpPrinter},  DeviceKind{"bjnp", AskBjnpPrinter},
      DeviceKind{"beh", AskBehindBeh},
  };
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

DeviceState CheckDevice(const std::string& device_uri, Transport& transport, const Deadline& deadline,
                        bool describe) {
  const DeviceQuery query{transport, deadline, describe};
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
