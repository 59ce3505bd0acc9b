// A printer's state in the spooler's words, the same on every platform: the
// PRINTER_STATUS_* bits of an IPP printer's printer-state and
// printer-state-reasons (a scheduler's queue or a device alike), and when a
// printer counts as working offline (PRINTER_ATTRIBUTE_WORK_OFFLINE, the bit
// the verdict reads).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DeviceCheck.h"
#include "SpoolerCodes.h"

namespace printing {

// printer-state values.
inline constexpr std::int32_t kIppIdle = 3;
inline constexpr std::int32_t kIppProcessing = 4;
inline constexpr std::int32_t kIppStopped = 5;

// The status bits of printer-state: processing is printing, stopped paused.
std::int32_t StateStatus(std::int32_t printer_state);
// The status bits of one printer-state-reasons keyword ("media-jam-error").
// A keyword may end in "-error", which also sets PRINTER_STATUS_ERROR, or in
// "-warning" or "-report", which set nothing of their own.
std::int32_t ReasonStatus(std::string_view reason);
// The status bits of a printer-state and its reasons.
std::int32_t StatusBits(std::int32_t printer_state, const std::vector<std::string>& reasons);

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
