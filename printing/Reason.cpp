#include "Reason.h"

#include <string>

#include "DeviceCheck.h"
#include "DeviceStatus.h"

namespace printing {
namespace {

// What a status bit says of the printer, in the words of the reason.
struct Condition {
  std::int32_t status;
  const char* words;
};
// The troubles a printer reports, most pressing first (docs/devices.md).
constexpr Condition kTroubles[] = {
    {PRINTER_STATUS_PAPER_JAM, "paper jam"},
    {PRINTER_STATUS_PAPER_OUT, "out of paper"},
    {PRINTER_STATUS_DOOR_OPEN, "door open"},
    {PRINTER_STATUS_NO_TONER, "no toner"},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, "output tray full"},
    {PRINTER_STATUS_ERROR, "an error"},
    {PRINTER_STATUS_TONER_LOW, "toner low"},
    {PRINTER_STATUS_PAPER_PROBLEM, "paper low"},
    {PRINTER_STATUS_USER_INTERVENTION, "needs attention"},
};

// ", "-separated words of every trouble in `status`.
std::string Troubles(std::int32_t status) {
  std::string out;
  for (const Condition& c : kTroubles)
    if (status & c.status) out += (out.empty() ? "" : ", ") + std::string(c.words);
  return out;
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
  for (const std::string& name : PortNames(port)) out += (out.empty() ? "" : ", ") + name;
  return out;
}

// Why a printer that cannot print now cannot: the first that holds.
std::string NotReady(const TestOutcome& o, const Findings& f) {
  const DeviceState& d = f.device;
  const std::int32_t system = f.system_status;
  if (f.set_offline) return "its user set it to work offline (Use Printer Offline)";
  if (system & PRINTER_STATUS_PAUSED) return "the print queue is paused";
  if (system & PRINTER_STATUS_PENDING_DELETION) return "the printer is being deleted";
  if (f.rejecting) return "the print queue does not accept jobs";
  if (system & PRINTER_STATUS_SERVER_OFFLINE) return "its print server is offline";
  if (system & PRINTER_STATUS_SERVER_UNKNOWN) return "its print server is unknown";
  if (system & PRINTER_STATUS_NOT_AVAILABLE) return "the print system says the printer is not available";
  if (system & PRINTER_STATUS_OFFLINE) return "the print system says the printer is offline";
  if (f.group == Findings::Class && !Ready(d)) return "none of the class's members is ready (" + Listed(o.port) + ")";
  if (f.group == Findings::Pool && !Ready(d)) return "none of the pool's ports answers (" + Listed(o.port) + ")";
  if (d.kind == DeviceState::Unreachable) {
    if (d.where == "USB") return "the USB printer is not connected, or is switched off";
    if (d.gone) return "the printer is gone from its server at " + d.where;
    if (d.cannot_serve) return "the printer at " + d.where + " says it cannot serve now";
    return "the printer does not answer at " + d.where;
  }
  if (SaysItCannotPrint(d)) {
    if (d.status & PRINTER_STATUS_OFFLINE) return "the printer says it is offline";
    if (!d.accepting) return "the printer says it does not accept jobs";
    return d.from_agent ? "the printer says it is down" : "the printer says it has stopped";
  }
  return "the printer cannot print now";
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
  std::string troubles;
  if (o.code == u"YES") {
    const DeviceState& d = f.device;
    if (d.kind == DeviceState::Reachable && !d.where.empty() && d.has_state)
      reason = "Ready: the printer answered at " + d.where + " and is " + Activity(o.status) + ".";
    else if (d.kind == DeviceState::Reachable && !d.where.empty())
      reason = "Ready: the printer answered at " + d.where +
               (o.status & PRINTER_STATUS_PRINTING ? "; the print queue is printing." : ".");
    else
      reason = std::string("Ready: the print system reports it ") + Activity(o.status) + ".";
    troubles = Troubles(o.status);
  } else if (o.code == u"NO") {
    reason = "Not ready: " + NotReady(o, f) + ".";
    troubles = Troubles(o.status);
  } else {
    return "";
  }
  if (!troubles.empty()) reason += " It reports: " + troubles + ".";
  if (!f.message.empty()) reason += " The print system says \"" + f.message + "\"";
  return reason;
}

}  // namespace printing
