#include "DeviceKinds.h"

namespace printing {

DeviceState AskTcpPort(const std::string& device_uri, const DeviceQuery& query) {
  const std::optional<DeviceUri> uri = SplitDeviceUri(device_uri);
  if (!uri) return DeviceState{};
  DeviceState state;
  state.kind = DeviceState::Unreachable;
  for (const std::string& address : query.transport.Lookup(uri->host, uri->port, query.deadline)) {
    if (query.deadline.Passed()) break;
    if (query.transport.Connects(address, uri->port, kHangUpWait, query.deadline)) {
      state.kind = DeviceState::Reachable;
      break;
    }
  }
  return state;
}

}  // namespace printing
