#include "Reason.h"

#include <string>

#include "DeviceCheck.h"
#include "DeviceStatus.h"

namespace printing {
namespace {

// What a status bit says of the printer, in the words of the reason, and
// whether it is seen to at the printer itself.
struct Condition {
  std::int32_t status;
  const char* words;
  bool at_the_printer;
};
// The troubles a printer reports, most pressing first (docs/devices.md).
constexpr Condition kTroubles[] = {
    {PRINTER_STATUS_PAPER_JAM, "paper jam", true},
    {PRINTER_STATUS_PAPER_OUT, "out of paper", true},
    {PRINTER_STATUS_DOOR_OPEN, "door open", true},
    {PRINTER_STATUS_NO_TONER, "no toner", true},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, "output tray full", true},
    {PRINTER_STATUS_ERROR, "an error", false},
    {PRINTER_STATUS_TONER_LOW, "toner low", true},
    {PRINTER_STATUS_PAPER_PROBLEM, "paper low", true},
    {PRINTER_STATUS_USER_INTERVENTION, "needs attention", false},
};

std::string Joined(const std::string& a, const std::string& b, const char* separator = ", ") {
  return a.empty() ? b : b.empty() ? a : a + separator + b;
}

// Whether a supply runs low (or a waste box is nearly full): at or beyond
// the printer's own mark, else 10 % (90 % full).
bool RunsLow(const Supply& s) {
  if (s.level < 0) return false;  // not known, or some remains
  if (s.fills) return s.level >= (s.mark >= 0 ? s.mark : 90);
  return s.level <= (s.mark >= 0 ? s.mark : 10);
}

// What the printer reports, troubles and supplies, ", "-separated, and
// whether any of it is seen to at the printer.
std::string Troubles(std::int32_t status, const std::vector<Supply>& supplies, bool& at_the_printer) {
  std::string low;
  bool consumable_low = false;
  for (const Supply& s : supplies) {
    if (!RunsLow(s) || s.name.empty()) continue;
    low = Joined(low, s.name + (s.fills ? " " + std::to_string(s.level) + " % full" : " at " + std::to_string(s.level) + " %"));
    consumable_low = consumable_low || !s.fills;
  }
  std::string out;
  at_the_printer = !low.empty();
  for (const Condition& c : kTroubles) {
    if (!(status & c.status)) continue;
    // A supply named as low says more than "toner low".
    if (c.status == PRINTER_STATUS_TONER_LOW && consumable_low) continue;
    out = Joined(out, c.words);
    at_the_printer = at_the_printer || c.at_the_printer;
  }
  return Joined(out, low);
}

// What the printer is doing, for a ready one.
const char* Activity(std::int32_t status) {
  if (status & PRINTER_STATUS_PRINTING) return "printing";
  if (status & PRINTER_STATUS_WARMING_UP) return "warming up";
  return "idle";
}

// The ports (members) a port name lists, ", "-separated.
std::string Listed(const std::string& port) {
  std::string out;
  for (const std::string& name : PortNames(port)) out = Joined(out, name);
  return out;
}

// The queue of a destination name ("Office/duplex" is an instance of Office).
std::string Queue(const std::string& name) { return name.substr(0, name.find('/')); }

constexpr const char* kSeeToIt = "See to it at the printer.";

// Why a printer that cannot print now cannot, and what to do about it.
struct Why {
  std::string cause;
  std::string hint;  // a sentence, or nothing
};

// The ports where the device was asked: " port 9100", " port 445 or 139".
std::string Ports(const DeviceState& d) {
  return d.host.empty() || d.where.rfind(d.host, 0) != 0 ? "" : d.where.substr(d.host.size());
}

// Where the device was asked, with the address tried where the host is a
// name: "printer.example (10.0.0.5) port 9100".
std::string At(const DeviceState& d, bool with_ports = true) {
  std::string host = d.host.empty() ? d.where : d.host;
  if (!d.address.empty() && d.address != d.host) host += " (" + d.address + ")";
  return with_ports ? host + Ports(d) : host;
}

// The HTTP or IPP status of an answer that refused the request.
std::string Status(const DeviceState& d) {
  if (d.http_status != 0 && d.http_status != 200) return "HTTP " + std::to_string(d.http_status);
  static const char* const kHex = "0123456789abcdef";
  std::string hex = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) hex += kHex[(d.ipp_status >> shift) & 0xF];
  return "IPP status " + hex;
}

// Why the device that was not there was not: the step that failed.
Why Unreachable(const DeviceState& d) {
  const std::string ports = Ports(d);
  switch (d.step) {
    case Step::NameUnknown:
      return {"no name server knows the printer's name " + d.host, "Check the printer's name or address."};
    case Step::NameServerSilent:
      return {"no name server answered for the printer's name " + d.host, "Check the network connection."};
    case Step::NoRoute:
      return {"there is no route to the printer at " + At(d, false), "Check the network or VPN connection."};
    case Step::Refused:
      return {"the printer at " + At(d, false) + " refuses the connection on" + ports,
              "The printer takes no jobs on" + ports + "."};
    case Step::HungUp:
      return {"the printer at " + At(d) + " hangs up at once",
              "Its print service may be stopped or busy: restart the printer."};
    case Step::TlsFailed:
      return {"the secure connection (TLS) to the printer at " + At(d) + " fails",
              "Check the printer's security settings."};
    case Step::Refusal: {
      if (d.gone) {
        const std::string path = d.resource.substr(0, d.resource.find('?'));
        return {"the printer is gone from its server at " + At(d) + ": there is no printer at " + path + " (" +
                    Status(d) + ")",
                "Check the printer's address."};
      }
      return {"the printer at " + At(d) + " says it cannot serve now (" + Status(d) + ")",
              "Try again later, or restart the printer."};
    }
    default:
      return {"the printer does not answer at " + At(d),
              "Check that it is switched on and connected to the network."};
  }
}

Why NotReady(const TestOutcome& o, const Findings& f) {
  const DeviceState& d = f.device;
  const std::int32_t system = f.system_status;
  const bool cups = f.system == Findings::Cups;
  if (f.set_offline)
    return {"its user set it to work offline (Use Printer Offline)",
            "Clear \"Use Printer Offline\" in its queue window."};
  if (system & PRINTER_STATUS_PAUSED)
    return {"the print queue is paused",
            cups ? "Resume it in the printer settings, or with cupsenable " + Queue(o.name) + "."
                 : "Resume it in its queue window: clear Printer, Pause Printing."};
  if (system & PRINTER_STATUS_PENDING_DELETION) return {"the printer is being deleted", ""};
  if (f.rejecting)
    return {"the print queue does not accept jobs",
            cups ? "Let it accept jobs in the printer settings, or with cupsaccept " + Queue(o.name) + "." : ""};
  if (system & PRINTER_STATUS_SERVER_OFFLINE)
    return {"its print server is offline", "Check that the print server is switched on and connected."};
  if (system & PRINTER_STATUS_SERVER_UNKNOWN) return {"its print server is unknown", "Check the print server's name."};
  if (system & PRINTER_STATUS_NOT_AVAILABLE) return {"the print system says the printer is not available", ""};
  if (system & PRINTER_STATUS_OFFLINE)
    return {"the print system says the printer is offline",
            "Check that it is switched on and connected to the network."};
  if (f.group == Findings::Class && !Ready(d)) return {"none of the class's members is ready (" + Listed(o.port) + ")", ""};
  if (f.group == Findings::Pool && !Ready(d))
    return {"none of the pool's ports answers (" + Listed(o.port) + ")",
            "Check that its printers are switched on and connected to the network."};
  if (d.kind == DeviceState::Unreachable) {
    if (d.where == "USB") return {"the USB printer is not connected, or is switched off", ""};
    return Unreachable(d);
  }
  if (SaysItCannotPrint(d)) {
    if (d.status & PRINTER_STATUS_OFFLINE) return {"the printer says it is offline", "Put it online at the printer."};
    if (!d.accepting) return {"the printer says it does not accept jobs", ""};
    return {d.from_agent ? "the printer says it is down" : "the printer says it has stopped", kSeeToIt};
  }
  return {"the printer cannot print now", ""};
}

// A span of time in whole minutes, hours or days: "3 hours".
std::string Duration(std::int64_t seconds) {
  const auto count = [](std::int64_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
  };
  if (seconds < 3600) return count(seconds / 60, "minute");
  if (seconds < 2 * 86400) return count(seconds / 3600, "hour");
  return count(seconds / 86400, "day");
}

// What waits in the queue, in a sentence; nothing when nothing does.
std::string Jobs(const QueuedJobs& j) {
  if (j.count <= 0) return "";
  const bool aged = j.oldest_age >= 60;
  if (j.held == j.count) return j.count == 1 ? "1 job is held." : std::to_string(j.count) + " jobs are held.";
  if (j.count == 1)
    return std::string("1 job waits in the queue") + (j.failed ? ", stopped with an error" : "") +
           (aged ? ", for " + Duration(j.oldest_age) : "") + ".";
  std::string out = std::to_string(j.count) + " jobs wait in the queue";
  if (j.held) out += ", " + std::to_string(j.held) + " of them held";
  if (j.failed) out += ", " + std::to_string(j.failed) + " stopped with an error";
  if (aged) out += ", the oldest for " + Duration(j.oldest_age);
  return out + ".";
}

std::string SystemError(const Findings& f, std::int32_t error) {
  return f.error_message + " (error " + std::to_string(error) + ")";
}

}  // namespace

std::string Reason(const TestOutcome& o, const Findings& f) {
  std::string reason;
  if (o.code == u"NOTFOUND") {
    return f.print_system_answered ? "No printer named \"" + o.name + "\" is installed."
                                   : "The print system does not answer, so no printer is listed.";
  }
  if (o.code == u"CANNOTOPEN") return "The system would not open the printer: " + SystemError(f, f.open_error);
  if (o.code == u"PROBLEM") {
    return f.query_error != ERROR_SUCCESS
               ? "The printer's description could not be read: " + SystemError(f, f.query_error)
               : "The printer's description could not be read.";
  }
  std::string hint;
  if (o.code == u"YES") {
    const DeviceState& d = f.device;
    if (d.kind == DeviceState::Reachable && !d.where.empty() && d.has_state)
      reason = "Ready: the printer answered at " + d.where + " and is " + Activity(o.status) + ".";
    else if (d.kind == DeviceState::Reachable && !d.where.empty())
      reason = "Ready: the printer answered at " + d.where +
               (o.status & PRINTER_STATUS_PRINTING ? "; the print queue is printing." : ".");
    else
      reason = std::string("Ready: the print system reports it ") + Activity(o.status) + ".";
  } else if (o.code == u"NO") {
    const Why why = NotReady(o, f);
    reason = "Not ready: " + why.cause + ".";
    hint = why.hint;
  } else {
    return "";
  }
  bool at_the_printer = false;
  const std::string troubles = Troubles(o.status, f.supplies, at_the_printer);
  // What is seen to at the printer is said once, after what it reports.
  if (hint == kSeeToIt && !troubles.empty()) {
    hint.clear();
    at_the_printer = true;
  }
  if (!hint.empty()) reason += " " + hint;
  if (!troubles.empty()) {
    const bool sent = hint.find("at the printer") != std::string::npos;
    reason += " It reports: " + troubles + (at_the_printer && !sent ? "; see to it at the printer." : ".");
  }
  if (const std::string jobs = Jobs(f.jobs); !jobs.empty()) reason += " " + jobs;
  if (!f.message.empty()) reason += " The print system says \"" + f.message + "\"";
  return reason;
}

}  // namespace printing
