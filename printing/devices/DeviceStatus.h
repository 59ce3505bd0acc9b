// What a device says of itself, in the spooler's words: the PRINTER_STATUS_*
// bits of an IPP printer's printer-state and printer-state-reasons (a
// scheduler's queue or a device alike) and of a printer's Host Resources
// MIB (its SNMP agent), and when what it says keeps it from printing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DeviceState.h"
#include "Snmp.h"
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

// The status bits of a printer's word in the Host Resources MIB (its SNMP
// agent's): down is an error, the offline bit offline, and each other bit
// the spooler's bit for the same trouble.
std::int32_t HostStatusBits(const HostPrinterStatus& word);
// Adds that word to what was found of the device that took a connection:
// its state, which keeps it from printing when it is down or offline.
void AddHostWord(DeviceState& device, const HostPrinterStatus& word);

// Whether what a device said of itself keeps it from printing: stopped, not
// accepting jobs, or offline.
bool SaysItCannotPrint(const DeviceState& device);

// What a printer says of its supplies over IPP, each attribute's values by
// position: CUPS's marker-names, marker-levels, marker-low-levels and
// marker-types, else PWG's printer-supply ("index=1;class=...;type=...;
// maxcapacity=100;level=25;") with printer-supply-description.
struct SupplyAttributes {
  std::vector<std::string> names, types;
  std::vector<std::int32_t> levels, lows;
  std::vector<std::string> supply, descriptions;
};
// The supplies they say, at most kMaxSupplies. A marker type "waste-..." (a
// waste box, whose marker level says how full it is, and its low level when
// it is nearly full) fills; so does a printer-supply of class
// receptacleThatIsFilled, whose level is the room left in it, as in the
// Printer MIB. Levels outside -3 to 100 are not known (-2). Names are read
// as SupplyName reads an agent's.
std::vector<Supply> SuppliesOf(const SupplyAttributes& attributes);

}  // namespace printing
