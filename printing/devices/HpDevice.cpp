#include <algorithm>
#include <atomic>
#include <optional>
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
  state.host = host;
  const Addresses addresses = query.transport.Lookup(host, kSnmpPort, query.deadline);
  // A datagram that gets no answer says no more than silence.
  state.step = addresses.empty() ? addresses.failed : Step::Silent;
  for (std::size_t i = 0; i < communities.size() && state.kind != DeviceState::Reachable; ++i) {
    const bool last = i + 1 == communities.size();
    const Deadline round(last ? query.deadline.Left() : query.deadline.Left() / 2);
    for (const std::string& address : addresses) {
      // The first request within the round; once the agent has answered it,
      // the rest of the conversation within kAgentWait.
      std::optional<Deadline> rest;
      const auto exchange = [&](const std::vector<std::uint8_t>& request) {
        if (rest) return query.transport.Exchange(address, kSnmpPort, request, *rest);
        const auto answer = query.transport.Exchange(address, kSnmpPort, request, round);
        rest.emplace(std::min(kAgentWait, query.deadline.Left()));
        return answer;
      };
      // The device ID, and in the same request what the printer says of
      // itself (device 1).
      const AgentWord word = AskPrinterAgent(
          AgentQuestion{.community = std::string(communities[i]), .first = {std::string(kHpDeviceIdOid)}}, exchange,
          NewSnmpRequestId);
      // Any answer to this request is the printer's agent, even one that
      // names an error.
      if (word.answered) {
        state.kind = DeviceState::Reachable;
        state.step = Step::Answered;
        if (word.status) {
          AddHostWord(state, *word.status);
          state.supplies = word.supplies;
        }
        break;
      }
    }
  }
  return state;
}

}  // namespace printing
