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

// How far asking a device got, in the order a check goes through the steps:
// the step that failed, or Answered. Of several attempts (a host's
// addresses, a server's ports), the one that got furthest counts.
enum class Step : std::uint8_t {
  NotAsked,
  NameUnknown,       // no name server knows the host's name
  NameServerSilent,  // no name server answered for it in time
  NoRoute,           // there is no route to its address
  Silent,            // nothing answered within the bound
  Refused,           // its port refused the connection
  HungUp,            // it took the connection and hung up at once, or without an answer
  TlsFailed,         // the TLS handshake failed
  Refusal,           // it answered with an HTTP or IPP error that says it cannot print
  Answered,
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
  std::string host;     // the host as the device URI names it
  std::string address;  // the numeric address of the furthest attempt
  Step step = Step::NotAsked;
  // Of an answer that refused the request: its HTTP status and IPP status
  // code, and the resource asked for.
  int http_status = 0;
  int ipp_status = 0;
  std::string resource;
  // What an IPP device says of itself, when asked to describe itself.
  std::optional<std::string> make_and_model, info, location;
  std::int32_t jobs = 0;
  std::int32_t pages_per_minute = 0;
  // Its supplies, as it said them (an IPP printer's marker-* attributes, an
  // SNMP agent's Printer MIB supplies table); none when it said none.
  std::vector<Supply> supplies;
};

}  // namespace printing
