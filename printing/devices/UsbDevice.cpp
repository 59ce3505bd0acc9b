#include "DeviceKinds.h"

namespace printing {

DeviceState AskUsbPrinter(const std::string& device_uri, const DeviceQuery& query) {
  DeviceState state;
  state.where = "USB";
  // A printer known to be missing from the bus is not there; one that is
  // there, or that the platform cannot look for, keeps the print system's word.
  if (query.transport.FindUsb(device_uri) == UsbPresence::Absent) state.kind = DeviceState::Unreachable;
  return state;
}

}  // namespace printing
