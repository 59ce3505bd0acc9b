#include "Bjnp.h"
#include "DeviceKinds.h"

namespace printing {

DeviceState AskBjnpPrinter(const std::string& device_uri, const DeviceQuery& query) {
  const std::optional<DeviceUri> uri = SplitDeviceUri(device_uri);  // bjnp://HOST[:PORT], 8611 by default
  if (!uri) return DeviceState{};
  DeviceState state;
  state.kind = DeviceState::Unreachable;
  state.where = WhereAt(uri->host, {uri->port});
  state.host = uri->host;
  const std::vector<std::uint8_t> request = BjnpGetIdRequest(1);
  const Addresses addresses = query.transport.Lookup(uri->host, uri->port, query.deadline);
  // A datagram that gets no answer says no more than silence.
  state.step = addresses.empty() ? addresses.failed : Step::Silent;
  for (const std::string& address : addresses) {
    const auto answer = query.transport.Exchange(address, uri->port, request, query.deadline);
    if (answer && IsBjnpAnswer(answer->data(), answer->size())) {
      state.kind = DeviceState::Reachable;
      state.step = Step::Answered;
      break;
    }
  }
  return state;
}

}  // namespace printing
