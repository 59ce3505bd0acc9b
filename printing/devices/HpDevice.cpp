#include <atomic>
#include <string_view>

#include "DeviceKinds.h"
#include "DeviceStatus.h"
#include "Snmp.h"

namespace printing {
std::int32_t NewSnmpRequestId() {
  static std::atomic<std::uint32_t> ids{static_cast<std::uint32_t>(Clock::now().time_since_epoch().count())};
  return static_cast<std::int32_t>(ids++ & 0x7fffffff);
}

DeviceState AskHpPrinter(const std::string& device_uri, const DeviceQuery& query) {
  const auto colon = device_uri.find(':');
  const std::string path = device_uri.substr(colon + 1);
  if (path.rfind("/usb/", 0) == 0) return AskUsbPrinter(device_uri, query);
  if (path.rfind("/net/", 0) != 0) return DeviceState{};
  // The printer's address as HPLIP gives it: ip=, hostname=, or zc= (its
  // multicast DNS name).
  std::string host = UriOption(device_uri, "ip").value_or("");
  if (host.empty()) host = UriOption(device_uri, "hostname").value_or("");
  if (host.empty()) {
    host = UriOption(device_uri, "zc").value_or("");
    if (!host.empty()) host += ".local";
  }
  if (host.empty()) return DeviceState{};
  const std::optional<std::string_view> community = HpSnmpCommunity(device_uri);
  if (!community) return DeviceState{};  // a port HPLIP itself refuses
  // HPLIP asks again with the community of older HP printers when the
  // first gets no answer: the first has half the time.
  std::vector<std::string_view> communities{*community};
  if (*community != kHpFallbackCommunity) communities.push_back(kHpFallbackCommunity);

  DeviceState state;
  state.kind = DeviceState::Unreachable;
  state.where = WhereAt(host, {kSnmpPort});
  const std::int32_t id = NewSnmpRequestId();
  const std::vector<std::string> addresses = query.transport.Lookup(host, kSnmpPort, query.deadline);
  // The device ID, and in the same request what the printer says of itself.
  std::vector<std::string> oids = HostPrinterOids(1);
  oids.insert(oids.begin(), std::string(kHpDeviceIdOid));
  for (std::size_t i = 0; i < communities.size() && state.kind != DeviceState::Reachable; ++i) {
    const std::vector<std::uint8_t> request = SnmpGetRequest(communities[i], oids, id);
    const bool last = i + 1 == communities.size();
    const Deadline round(last ? query.deadline.Left() : query.deadline.Left() / 2);
    for (const std::string& address : addresses) {
      const auto answer = query.transport.Exchange(address, kSnmpPort, request, round);
      const std::optional<SnmpAnswer> read =
          answer ? ReadSnmpAnswer(answer->data(), answer->size()) : std::nullopt;
      // Any answer to this request is the printer's agent, even one that
      // names an error.
      if (read && read->request_id == id) {
        state.kind = DeviceState::Reachable;
        if (const auto word = ReadHostPrinterStatus(*read, id, communities[i], 1)) AddHostWord(state, *word);
        break;
      }
    }
  }
  return state;
}

}  // namespace printing
