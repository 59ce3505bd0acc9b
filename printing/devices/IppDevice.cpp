#include "DeviceKinds.h"
#include "PrinterState.h"

namespace printing {

DeviceState FromIppReply(const IppReply& reply) {
  DeviceState state;
  state.kind = reply.answered ? DeviceState::Reachable : DeviceState::Unreachable;
  if (!reply.answered || reply.http_status != 200 || !reply.ipp || !reply.ipp->Succeeded()) return state;
  const IppAnswer& ipp = *reply.ipp;
  state.has_state = ipp.state.has_value();
  state.stopped = ipp.state == kIppStopped;
  state.accepting = ipp.accepting.value_or(true);
  state.status = StatusBits(ipp.state.value_or(kIppIdle), ipp.reasons);
  state.make_and_model = reply.make_and_model;
  state.info = reply.info;
  state.location = reply.location;
  state.jobs = reply.jobs;
  state.pages_per_minute = reply.pages_per_minute;
  return state;
}

DeviceState AskIppPrinter(const std::string& device_uri, const DeviceQuery& query) {
  const std::optional<DeviceUri> uri = SplitDeviceUri(device_uri);
  if (!uri) return DeviceState{};
  return FromIppReply(query.transport.AskIpp(*uri, query.describe, query.deadline));
}

}  // namespace printing
