// What a check of a printer's device found: whether it is there, and what it
// said of itself. Kept light: the printer services hold one of it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace printing {

// A supply of a printer (toner, ink, a drum, a waste box), as the printer
// says it.
struct Supply {
  std::string name;  // as the printer names it: "Black Toner"
  // Percent of its capacity: what is left of it, or for a waste box (which
  // fills rather than runs out) how full it is. Negative when not known:
  // -1 the printer cannot say, -2 unknown, -3 unknown but some remains.
  int level = -2;
  // The level the printer gives for it: at or below which it runs low, or
  // for a waste box at or above which it is nearly full; -1 when none is
  // given (10 % then, and 90 % for a waste box).
  int mark = -1;
  bool fills = false;  // a waste box
  bool operator==(const Supply&) const = default;
};

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
  // Its supplies, as it said them (an IPP printer's marker-* attributes, an
  // SNMP agent's Printer MIB supplies table); none when it said none.
  std::vector<Supply> supplies;
};

}  // namespace printing
