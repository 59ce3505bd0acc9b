#include "DeviceKinds.h"
#include "DeviceStatus.h"

namespace printing {

namespace {

// Whether an answer says that the printer its URI names is not there: gone
// from the device. One that wants a password (401, 403,
// client-error-not-authorized, -forbidden), or refuses the request for any
// other reason, has answered and is there.
bool SaysGone(const IppReply& reply) {
  const int http = reply.http_status;
  if (http == 404 || http == 410) return true;
  return reply.ipp && (reply.ipp->status_code == 0x0406 ||   // client-error-not-found
                       reply.ipp->status_code == 0x0407);    // client-error-gone
}

// Whether an answer says that the device cannot serve now.
bool SaysCannotServe(const IppReply& reply) {
  const int http = reply.http_status;
  if (http >= 500 && http <= 599 && http != 501 && http != 505) return true;
  if (!reply.ipp) return false;
  switch (reply.ipp->status_code) {
    case 0x0500:  // server-error-internal-error
    case 0x0502:  // server-error-service-unavailable
    case 0x0504:  // server-error-device-error
    case 0x0505:  // server-error-temporary-error
    case 0x0506:  // server-error-not-accepting-jobs
    case 0x0507:  // server-error-busy
    case 0x050A:  // server-error-printer-is-deactivated
      return true;
    default:
      return false;
  }
}

}  // namespace

DeviceState FromIppReply(const IppReply& reply) {
  DeviceState state;
  state.gone = reply.answered && SaysGone(reply);
  state.cannot_serve = reply.answered && !state.gone && SaysCannotServe(reply);
  state.kind = reply.answered && !state.gone && !state.cannot_serve ? DeviceState::Reachable : DeviceState::Unreachable;
  state.step = !reply.answered ? reply.step : state.kind == DeviceState::Reachable ? Step::Answered : Step::Refusal;
  state.address = reply.address;
  state.http_status = reply.http_status;
  if (reply.ipp) state.ipp_status = reply.ipp->status_code;
  if (state.kind != DeviceState::Reachable || reply.http_status != 200 || !reply.ipp || !reply.ipp->Succeeded())
    return state;
  const IppAnswer& ipp = *reply.ipp;
  state.has_state = ipp.state.has_value();
  state.stopped = ipp.state == kIppStopped;
  state.accepting = ipp.accepting.value_or(true);
  state.status = StatusBits(ipp.state.value_or(kIppIdle), ipp.reasons);
  state.make_and_model = reply.make_and_model;
  state.info = reply.info;
  state.location = reply.location;
  state.supplies = ipp.supplies;
  state.jobs = reply.jobs;
  state.pages_per_minute = reply.pages_per_minute;
  return state;
}

DeviceState AskIppPrinter(const std::string& device_uri, const DeviceQuery& query) {
  const std::optional<DeviceUri> uri = SplitDeviceUri(device_uri);
  if (!uri) return DeviceState{};
  DeviceState state = FromIppReply(query.transport.AskIpp(*uri, query.describe, query.deadline));
  state.where = WhereAt(uri->host, {uri->port});
  state.host = uri->host;
  state.resource = uri->resource;
  return state;
}

}  // namespace printing
