// A printer's state in the spooler's words, the same on every platform: when
// a printer counts as working offline (PRINTER_ATTRIBUTE_WORK_OFFLINE, the
// bit the verdict reads), from the spooler's status and from what its device
// said of itself (devices/DeviceStatus.h reads that in the same words).
#pragma once
#include <cstdint>

#include "DeviceCheck.h"
#include "DeviceStatus.h"
#include "SpoolerCodes.h"

namespace printing {

// Status bits of the spooler with which a printer cannot print now: paused,
// being deleted, offline, not available, its print server unknown or offline.
inline constexpr std::int32_t kCannotPrintStatus =
    PRINTER_STATUS_PAUSED | PRINTER_STATUS_PENDING_DELETION | PRINTER_STATUS_OFFLINE |
    PRINTER_STATUS_NOT_AVAILABLE | PRINTER_STATUS_SERVER_UNKNOWN | PRINTER_STATUS_SERVER_OFFLINE;

// `attributes`, working offline when the spooler's `status` says that the
// printer cannot print.
std::int32_t WithSpoolerStatus(std::int32_t attributes, std::int32_t status);

// Adds what a printer's device said of itself to the printer's attribute
// and status words: no answer works offline and is offline; an answer with
// its state adds the state's status bits, and works offline when the device
// is stopped, does not accept jobs or says it is offline.
void AddDeviceState(const DeviceState& device, std::int32_t& attributes, std::int32_t& status);

}  // namespace printing
