// The one IPP exchange the printer layer has with a device where no IPP
// library is at hand (Windows): a Get-Printer-Attributes request for the
// printer's state, and the reading of its answer. Both are bounded in size;
// the reader takes any bytes at all and never reads outside them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DeviceState.h"

namespace printing {

// Longest printer-uri the request carries (IPP's own limit for a uri).
inline constexpr std::size_t kIppMaxUri = 1023;
// Longest answer that is read: a printer's state fits in a few hundred bytes.
inline constexpr std::size_t kIppMaxAnswer = 64 * 1024;
// At most this many printer-state-reasons are kept.
inline constexpr std::size_t kIppMaxReasons = 64;

// Get-Printer-Attributes (IPP/1.1) for printer-state, printer-state-reasons
// and printer-is-accepting-jobs of the printer at `printer_uri`, and for its
// supplies (marker-names, -levels, -low-levels, -types, printer-supply and
// printer-supply-description); empty when the URI is longer than kIppMaxUri.
std::vector<std::uint8_t> PrinterStateRequest(std::string_view printer_uri, std::uint32_t request_id);

// What an answer says of the printer.
struct IppAnswer {
  std::uint16_t status_code = 0;
  std::optional<std::int32_t> state;  // printer-state
  std::vector<std::string> reasons;   // printer-state-reasons
  std::optional<bool> accepting;      // printer-is-accepting-jobs
  std::vector<Supply> supplies;       // what its supply attributes say (SuppliesOf)

  // successful-ok, -ignored-or-substituted-attributes or -conflicting-attributes.
  bool Succeeded() const { return status_code <= 0x0002; }
};

// The answer in `bytes`, or nothing when they are not a whole IPP message
// (cut short, a value longer than what is left, no end of its attributes,
// more than kIppMaxAnswer bytes). Of each of the attributes asked for the
// first among the printer attributes with a value of its own kind counts;
// other attributes, and the members of collections, are passed over.
std::optional<IppAnswer> ReadIppAnswer(const std::uint8_t* bytes, std::size_t size);

}  // namespace printing
