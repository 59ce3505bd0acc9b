// Why a test gave its result, in the words a person reads: every case the
// reason tells apart, from the result code, the record's words and what the
// printer layer learnt on the way.
#include <gtest/gtest.h>

#include "Reason.h"

using namespace printing;

namespace {

DeviceState Device(DeviceState::Kind kind, std::string where, std::int32_t status = 0) {
  DeviceState d;
  d.kind = kind;
  d.where = std::move(where);
  d.status = status;
  d.has_state = kind == DeviceState::Reachable && status != 0;
  return d;
}

TEST(Reason, EachCaseReadsAsTheTableSays) {
  constexpr auto R = DeviceState::Reachable, U = DeviceState::Unreachable;
  DeviceState agent_down = Device(R, "10.0.0.5 port 9100", PRINTER_STATUS_ERROR);
  agent_down.stopped = agent_down.from_agent = true;
  DeviceState stopped = Device(R, "printer.lan port 631", PRINTER_STATUS_PAUSED);
  stopped.stopped = true;
  DeviceState gone = Device(U, "server port 631"), busy = Device(U, "server port 631");
  gone.gone = true;
  busy.cannot_serve = true;
  auto with = [](auto change) {
    Findings f;
    change(f);
    return f;
  };
  struct Case {
    std::u16string_view code;
    std::int32_t status;
    Findings findings;
    const char* reason;
    std::string port = "";
  };
  const Case cases[] = {
      {u"YES", 0, {}, "Ready: the print system reports it idle."},
      {u"YES", PRINTER_STATUS_PRINTING | PRINTER_STATUS_TONER_LOW | PRINTER_STATUS_PAPER_PROBLEM,
       with([](Findings& f) { f.device = Device(DeviceState::Reachable, "10.0.0.5 port 9100", PRINTER_STATUS_PRINTING); }),
       "Ready: the printer answered at 10.0.0.5 port 9100 and is printing. It reports: toner low, paper low."},
      {u"YES", PRINTER_STATUS_WARMING_UP | PRINTER_STATUS_USER_INTERVENTION,
       with([](Findings& f) { f.device = Device(DeviceState::Reachable, "h port 9100", PRINTER_STATUS_WARMING_UP); }),
       "Ready: the printer answered at h port 9100 and is warming up. It reports: needs attention."},
      {u"YES", 0, with([](Findings& f) { f.device = Device(DeviceState::Reachable, "h port 9100"); }),
       "Ready: the printer answered at h port 9100."},
      {u"NO", PRINTER_STATUS_PAUSED, with([](Findings& f) { f.system_status = PRINTER_STATUS_PAUSED; }),
       "Not ready: the print queue is paused."},
      {u"NO", 0, with([](Findings& f) { f.rejecting = true; }), "Not ready: the print queue does not accept jobs."},
      {u"NO", 0, with([](Findings& f) { f.set_offline = true; }),
       "Not ready: its user set it to work offline (Use Printer Offline)."},
      {u"NO", PRINTER_STATUS_OFFLINE, with([&](Findings& f) { f.device = Device(U, "10.0.0.5 port 9100"); }),
       "Not ready: the printer does not answer at 10.0.0.5 port 9100."},
      {u"NO", PRINTER_STATUS_OFFLINE, with([](Findings& f) { f.device = Device(DeviceState::Unreachable, "USB"); }),
       "Not ready: the USB printer is not connected, or is switched off."},
      {u"NO", PRINTER_STATUS_OFFLINE, with([&](Findings& f) { f.device = gone; }),
       "Not ready: the printer is gone from its server at server port 631."},
      {u"NO", PRINTER_STATUS_OFFLINE, with([&](Findings& f) { f.device = busy; }),
       "Not ready: the printer at server port 631 says it cannot serve now."},
      {u"NO", PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_JAM,
       with([](Findings& f) {
         f.device = Device(DeviceState::Reachable, "h port 9100", PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_JAM);
       }),
       "Not ready: the printer says it is offline. It reports: paper jam."},
      {u"NO", PRINTER_STATUS_ERROR, with([&](Findings& f) { f.device = agent_down; }),
       "Not ready: the printer says it is down. It reports: an error."},
      {u"NO", PRINTER_STATUS_PAUSED | PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_DOOR_OPEN | PRINTER_STATUS_NO_TONER,
       with([&](Findings& f) { f.device = stopped; }),
       "Not ready: the printer says it has stopped. It reports: out of paper, door open, no toner."},
      {u"NO", PRINTER_STATUS_OFFLINE,
       with([&](Findings& f) {
         f.group = Findings::Class;
         f.device = Device(U, "a port 9100");
       }),
       "Not ready: none of the class's members is ready (Left, Right).", "Left,Right"},
      {u"NO", PRINTER_STATUS_OFFLINE,
       with([&](Findings& f) {
         f.group = Findings::Pool;
         f.device = Device(U, "a port 9100");
       }),
       "Not ready: none of the pool's ports answers (IP_1, IP_2).", "IP_1,IP_2"},
      {u"NO", PRINTER_STATUS_PAUSED,
       with([](Findings& f) {
         f.system_status = PRINTER_STATUS_PAUSED;
         f.message = "Filter failed";
       }),
       "Not ready: the print queue is paused. The print system says \"Filter failed\""},
      {u"NOTFOUND", 0, {}, "No printer named \"Office\" is installed."},
      {u"NOTFOUND", 0, with([](Findings& f) { f.print_system_answered = false; }),
       "The print system does not answer, so no printer is listed."},
      {u"CANNOTOPEN", 0,
       with([](Findings& f) {
         f.open_error = ERROR_ACCESS_DENIED;
         f.error_message = "Access is denied.";
       }),
       "The system would not open the printer: Access is denied. (error 5)"},
      {u"PROBLEM", 0,
       with([](Findings& f) {
         f.query_error = RPC_S_SERVER_UNAVAILABLE;
         f.error_message = "The RPC server is unavailable.";
       }),
       "The printer's description could not be read: The RPC server is unavailable. (error 1722)"},
      {u"MAYBE", 0, {}, ""},
  };
  for (const Case& c : cases) {
    const TestOutcome outcome{c.code, "Office", 0, c.status, c.port};
    EXPECT_EQ(Reason(outcome, c.findings), c.reason) << &c - cases;
  }
}

}  // namespace
