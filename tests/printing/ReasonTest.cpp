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
       "Ready: the printer answered at h port 9100 and is printing. It reports: toner low, paper low; see to it "
       "at the printer."},
      {u"YES", PRINTER_STATUS_WARMING_UP | PRINTER_STATUS_USER_INTERVENTION, Learnt(kThere, h, PRINTER_STATUS_WARMING_UP),
       "Ready: the printer answered at h port 9100 and is warming up. It reports: needs attention."},
      {u"YES", 0, Learnt(kThere, h), "Ready: the printer answered at h port 9100."},
      {u"NO", PRINTER_STATUS_PAUSED, System([](Findings& f) { f.system_status = PRINTER_STATUS_PAUSED; }),
       "Not ready: the print queue is paused. Resume it in the printer settings, or with cupsenable Office."},
      {u"NO", PRINTER_STATUS_PAUSED, System([](Findings& f) {
         f.system_status = PRINTER_STATUS_PAUSED;
         f.system = Findings::Spooler;
       }),
       "Not ready: the print queue is paused. Resume it in its queue window: clear Printer, Pause Printing."},
      {u"NO", 0, System([](Findings& f) { f.rejecting = true; }),
       "Not ready: the print queue does not accept jobs. Let it accept jobs in the printer settings, or with "
       "cupsaccept Office."},
      {u"NO", 0, System([](Findings& f) { f.set_offline = true; }),
       "Not ready: its user set it to work offline (Use Printer Offline). Clear \"Use Printer Offline\" in its "
       "queue window."},
      {u"NO", PRINTER_STATUS_OFFLINE, Learnt(kGone, h),
       "Not ready: the printer does not answer at h port 9100. Check that it is switched on and connected to the "
       "network."},
      {u"NO", PRINTER_STATUS_OFFLINE, Learnt(kGone, "USB"),
       "Not ready: the USB printer is not connected, or is switched off."},
      {u"NO", PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_JAM,
       Learnt(kThere, h, PRINTER_STATUS_OFFLINE | PRINTER_STATUS_PAPER_JAM),
       "Not ready: the printer says it is offline. Put it online at the printer. It reports: paper jam."},
      {u"NO", PRINTER_STATUS_ERROR,
       Learnt(kThere, h, PRINTER_STATUS_ERROR, &DeviceState::stopped, [](Findings& f) { f.device.from_agent = true; }),
       "Not ready: the printer says it is down. It reports: an error; see to it at the printer."},
      {u"NO", PRINTER_STATUS_PAUSED, Learnt(kThere, h, PRINTER_STATUS_PAUSED, &DeviceState::stopped),
       "Not ready: the printer says it has stopped. See to it at the printer."},
      {u"NO", PRINTER_STATUS_PAUSED | PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_DOOR_OPEN | PRINTER_STATUS_NO_TONER,
       Learnt(kThere, h, PRINTER_STATUS_PAUSED, &DeviceState::stopped),
       "Not ready: the printer says it has stopped. It reports: out of paper, door open, no toner; see to it at the "
       "printer."},
      {u"NO", PRINTER_STATUS_OFFLINE,
       Learnt(kGone, h, 0, nullptr, [](Findings& f) { f.group = Findings::Class; }),
       "Not ready: none of the class's members is ready (Left, Right)."},
      {u"NO", PRINTER_STATUS_OFFLINE, Learnt(kGone, h, 0, nullptr, [](Findings& f) { f.group = Findings::Pool; }),
       "Not ready: none of the pool's ports answers (Left, Right). Check that its printers are switched on and "
       "connected to the network."},
      {u"NO", PRINTER_STATUS_PAUSED, System([](Findings& f) {
         f.system_status = PRINTER_STATUS_PAUSED;
         f.message = "Filter failed";
         f.jobs = {3, 1, 0, 3 * 3600 + 59};
       }),
       "Not ready: the print queue is paused. Resume it in the printer settings, or with cupsenable Office. 3 jobs "
       "wait in the queue, 1 of them held, the oldest for 3 hours. The print system says \"Filter failed\""},
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

// What runs low, by the printer's own mark or else 10 % (a waste box, 90 %
// full), and what waits in the queue.
TEST(Reason, SuppliesThatRunLowAndJobsThatWaitAreNamed) {
  const struct {
    std::vector<Supply> supplies;
    std::int32_t status;
    QueuedJobs jobs;
    const char* added;
  } cases[] = {
      {{{"Black Toner", 4}, {"Cyan Ink", 11}, {"Drum", -3}, {"Fuser", -2}, {"Waste Box", 89, -1, true}}, 0, {},
       " It reports: Black Toner at 4 %; see to it at the printer."},
      {{{"Black Toner", 10}, {"Magenta", 20, 25}, {"Waste Box", 91, -1, true}, {"Tank", 80, 80, true}},
       PRINTER_STATUS_TONER_LOW | PRINTER_STATUS_PAPER_JAM, {},
       " It reports: paper jam, Black Toner at 10 %, Magenta at 20 %, Waste Box 91 % full, Tank 80 % full; see to "
       "it at the printer."},
      {{{"Waste Box", 95, -1, true}}, PRINTER_STATUS_TONER_LOW, {},
       " It reports: toner low, Waste Box 95 % full; see to it at the printer."},
      {{{"Black Toner", 0, 0}, {"", 1}}, 0, {1, 1, 0, 5}, " It reports: Black Toner at 0 %; see to it at the printer. "
       "1 job is held."},
      {{}, 0, {1, 0, 1, 59}, " 1 job waits in the queue, stopped with an error."},
      {{}, 0, {1, 0, 0, 61}, " 1 job waits in the queue, for 1 minute."},
      {{}, 0, {4, 4, 0, 3 * 86400}, " 4 jobs are held."},
      {{}, 0, {25, 0, 2, 2 * 86400}, " 25 jobs wait in the queue, 2 stopped with an error, the oldest for 2 days."},
      {{}, 0, {2, 0, 0, 47 * 3600}, " 2 jobs wait in the queue, the oldest for 47 hours."},
  };
  const std::string ready = "Ready: the print system reports it idle.";
  for (const auto& c : cases) {
    Findings f;
    f.supplies = c.supplies;
    f.jobs = c.jobs;
    EXPECT_EQ(Reason({u"YES", "Office", 0, c.status, ""}, f), ready + c.added) << &c - cases;
  }
}

// Jobs as a print system lists them add up to what the reason says.
TEST(Reason, JobsAddUpOldestFirst) {
  const std::int64_t now = 1'800'000'000;
  const std::vector<Job> jobs = {{Job::Held, now - 120}, {Job::Failed, now - 7200}, {Job::Waiting, 0},
                                 {Job::Printing, now + 30}};
  EXPECT_EQ(Summarize(jobs, 30, now), (QueuedJobs{30, 1, 1, 7200}));
  EXPECT_EQ(Summarize(jobs, 2, now).count, 4) << "a count below the jobs read";
  EXPECT_EQ(Summarize({{Job::Waiting, now + 30}}, 1, now).oldest_age, 0) << "a clock set wrong";
  EXPECT_EQ(Summarize({}, 0, now), QueuedJobs{});
}

}  // namespace
