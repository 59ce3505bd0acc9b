// What a check of a printer's device found: whether it is there, and what it
// said of itself. Kept light: the printer services hold one of it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace printing {

struct DeviceState {
  enum Kind {
    NotChecked,   // a local device, or a URI this check does not handle
    Unreachable,  // not there: no answer in time, refused, dropped, silent, or it said the printer is gone
    Reachable,    // it answered
  } kind = NotChecked;
  bool has_state = false;  // an IPP device described itself
  bool stopped = false;
  bool accepting = true;
  std::int32_t status = 0;  // PRINTER_STATUS_* bits of its state and reasons
  bool from_agent = false;  // that state is its SNMP agent's word
  bool gone = false;          // it answered that the printer is not there (any more)
  bool cannot_serve = false;  // it answered that it cannot serve now (busy, unavailable)
  // Where it was asked, as a person reads it ("10.0.0.5 port 9100", "USB"):
  // never a user name or password of its URI.
  std::string where;
  // What an IPP device says of itself, when asked to describe itself.
  std::optional<std::string> make_and_model, info, location;
  std::int32_t jobs = 0;
  std::int32_t pages_per_minute = 0;
};

}  // namespace printing
