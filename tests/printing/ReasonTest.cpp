// Why a test gave its result, in the words a person reads: every case the
// reason tells apart, from the result code, the record's words and what the
// printer layer learnt on the way.
#include <gtest/gtest.h>

#include "Reason.h"

using namespace printing;

namespace {

constexpr auto kThere = DeviceState::Reachable, kGone = DeviceState::Unreachable;

// What the layer learnt: its device's answer (where, its status bits and one
// flag of its own), then `change`.
Findings Learnt(DeviceState::Kind kind, std::string where, std::int32_t status = 0, bool DeviceState::*flag = nullptr,
                void (*change)(Findings&) = nullptr) {
  Findings f;
  f.device.kind = kind;
  f.device.where = std::move(where);
  f.device.status = status;
  f.device.has_state = kind == kThere && status != 0;
  if (flag) f.device.*flag = true;
  if (change) change(f);
  return f;
}
Findings System(void (*change)(Findings&)) { return Learnt(DeviceState::NotChecked, "", 0, nullptr, change); }

TEST(Reason, EachCaseReadsAsTheTableSays) {
  const std::string h = "h port 9100";
  struct Case {
    std::u16string_view code;
    std::int32_t status;
    Findings findings;
    const char* reason;
  };
  const Case cases[] = {
      {u"YES", 0, {}, "Ready: the print system reports it idle."},
      {u"YES", PRINTER_STATUS_PRINTING | PRINTER_STATUS_TONER_LOW | PRINTER_STATUS_PAPER_PROBLEM,
       Learnt(kThere, h, PRINTER_STATUS_PRINTING),
       "Ready: the printer answered at h port 9100 and is printing. It reports: toner low, paper low."},
      {u"YES", PRINTER_STATUS_WARMING_UP | PRINTER_STATUS_USER_INTERVENTION, Learnt(kThere, h, PRINTER_STATUS_WARMING_UP),
       "Ready: the printer answered at h port 9100 and is warming up. It reports: needs attention."},
      {u"YES", 0, Learnt(kThere, h), "Ready: the printer answered at h port 9100."},
      {u"NO", PRINTER_STATUS_PAUSED, System([](Findings& f) { f.system_status = PRINTER_STATUS_PAUSED; }),
       "Not ready: the print queue is paused."},
      {u"NO", 0, System([](Findings& f) { f.rejecting = true; }), "Not ready: the print queue does not accept jobs."},
      {u"NO", 0, System([](Findings& f) { f.set_offline = true; }),
       "Not ready: its user set it to work offline (Use Printer Offline)."},
      {u"NO", PRINTER_STATUS_OFFLINE, Learnt(kGone, h), "Not ready: the printer does not answer at h port 9100."},
      {u"NO", PRINTER_STATUS_OFFLINE, Learnt(kGone, "USB"),
       "Not ready: the USB printer is not connected, or is switched off."},
      {u"NO", PRINTER_STATUS_OFFLINE, Learnt(kGone, h, 0, &DeviceState::gone),
       "Not ready: the printer is gone from its server at h port 9100."},
      {u"NO", PRINTER_STATUS_OFFLINE, Learnt(kGone, h, 0, &DeviceState::cannot_serve),
       "Not ready: the printer at h port 9100 says it cannot serve now."},
      {u"NO", PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_JAM,
       Learnt(kThere, h, PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_JAM),
       "Not ready: the printer says it is offline. It reports: paper jam."},
      {u"NO", PRINTER_STATUS_ERROR,
       Learnt(kThere, h, PRINTER_STATUS_ERROR, &DeviceState::stopped, [](Findings& f) { f.device.from_agent = true; }),
       "Not ready: the printer says it is down. It reports: an error."},
      {u"NO", PRINTER_STATUS_PAUSED | PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_DOOR_OPEN | PRINTER_STATUS_NO_TONER,
       Learnt(kThere, h, PRINTER_STATUS_PAUSED, &DeviceState::stopped),
       "Not ready: the printer says it has stopped. It reports: out of paper, door open, no toner."},
      {u"NO", PRINTER_STATUS_OFFLINE,
       Learnt(kGone, h, 0, nullptr, [](Findings& f) { f.group = Findings::Class; }),
       "Not ready: none of the class's members is ready (Left, Right)."},
      {u"NO", PRINTER_STATUS_OFFLINE, Learnt(kGone, h, 0, nullptr, [](Findings& f) { f.group = Findings::Pool; }),
       "Not ready: none of the pool's ports answers (Left, Right)."},
      {u"NO", PRINTER_STATUS_PAUSED, System([](Findings& f) {
         f.system_status = PRINTER_STATUS_PAUSED;
         f.message = "Filter failed";
       }),
       "Not ready: the print queue is paused. The print system says \"Filter failed\""},
      {u"NOTFOUND", 0, {}, "No printer named \"Office\" is installed."},
      {u"NOTFOUND", 0, System([](Findings& f) { f.print_system_answered = false; }),
       "The print system does not answer, so no printer is listed."},
      {u"CANNOTOPEN", 0, System([](Findings& f) {
         f.open_error = ERROR_ACCESS_DENIED;
         f.error_message = "Access is denied.";
       }),
       "The system would not open the printer: Access is denied. (error 5)"},
      {u"PROBLEM", 0, System([](Findings& f) {
         f.query_error = RPC_S_SERVER_UNAVAILABLE;
         f.error_message = "The RPC server is unavailable.";
       }),
       "The printer's description could not be read: The RPC server is unavailable. (error 1722)"},
      {u"MAYBE", 0, {}, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Reason({c.code, "Office", 0, c.status, (&c - cases) % 2 ? "Left,Right" : "Left, Right "}, c.findings),
              c.reason)
        << &c - cases;
}

}  // namespace
