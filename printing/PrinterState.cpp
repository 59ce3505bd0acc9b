#include "PrinterState.h"

namespace printing {
std::int32_t WithSpoolerStatus(std::int32_t attributes, std::int32_t status) {
  return (status & kCannotPrintStatus) != 0 ? attributes | PRINTER_ATTRIBUTE_WORK_OFFLINE : attributes;
}

void AddDeviceState(const DeviceState& device, std::int32_t& attributes, std::int32_t& status) {
  if (device.kind == DeviceState::Unreachable) {
    attributes |= PRINTER_ATTRIBUTE_WORK_OFFLINE;
    status |= PRINTER_STATUS_OFFLINE;
  } else if (device.kind == DeviceState::Reachable && device.has_state) {
    status |= device.status;
    if (SaysItCannotPrint(device)) attributes |= PRINTER_ATTRIBUTE_WORK_OFFLINE;
  }
}


}  // namespace printing
