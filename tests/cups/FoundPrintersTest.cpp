// Printers found on the network: real IPP printers registered with a private
// avahi, listed beside a private scheduler's queues as lpstat -e lists them,
// asked themselves when tested; and the printers behind cups-browsed queues.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CupsPrinters.h"
#include "LoopbackPeer.h"
#include "PrivateScheduler.h"
#include "SchedulerSuite.h"
#include "Text.h"

using namespace printing;
using printing::testing::ClosedLoopbackPort;


namespace {

TEST(FoundPrinterNames, AreMadeAndFilteredAsLibcupsDoes) {
  const std::pair<const char*, const char*> names[] = {
      {"Desk Printer", "Desk_Printer"}, {"Hall  Copier @ srv-2", "Hall_Copier_srv_2"},
      {"\xC3\x89tage 2", "_tage_2"},    {"-edge-", "_edge_"},
  };
  for (const auto& [service, name] : names) EXPECT_EQ(DestinationName(service), name) << service;
  const std::pair<const char*, bool> formats[] = {
      {"", true},         {"application/postscript,image/urf", true}, {"IMAGE/PWG-RASTER", true},
      {"application/pdf", true}, {"application/postscript", false},   {"application/pdfx,text/plain", false},
  };
  for (const auto& [pdl, takes] : formats) EXPECT_EQ(TakesDocuments(pdl), takes) << pdl;
}

// One scheduler, avahi and set of printers for the suite (libdbus reads the
// system bus's address once a process); each test asks printers of its own.
class FoundPrintersTest : public cupstest::SchedulerSuite {
 protected:
  static void SetUpTestSuite() {
    StartScheduler();
    Device("start " + Dir() + " " + std::to_string(ClosedLoopbackPort()));
    for (const auto& [port, name] : {std::pair{&desk_, "'Desk Printer' -l 'Room 4'"}, {&hall_, "'Hall Copier'"},
                                     {&gone_, "'Gone Printer'"}, {&poster_, "Poster -f application/postscript"},
                                     {&lobby_, "'Lobby Printer'"}}) {
      *port = ClosedLoopbackPort();
      Device("printer " + Dir() + " " + std::to_string(*port) + " " + name);
    }
    scheduler_->UseSystemBus(Dir() + "/bus.sock");
    scheduler_->Run("lpadmin -p Office -E -v file:///dev/null");
    scheduler_->Run("lpadmin -p Hall_Copier -E -v implicitclass://Hall_Copier/");
    scheduler_->Run("lpadmin -p Lobby -E -v 'dnssd://Lobby%20Printer._ipp._tcp.local/'");
    // A cups-browsed queue whose printer is known only by its last job.
    scheduler_->Run("lpadmin -p Annex -E -v implicitclass://Annex/ -o 'cups-browsed-dest-printer-default=\"7 ipp://" +
                    Loopback(desk_) + "/ipp/print pdf 300dpi\"'");
    // avahi offers what registers with it within moments.
    WaitUntil([] { return Listed("Gone_Printer") && Listed("Desk_Printer") && Listed("Test_Device"); });
  }
  static void TearDownTestSuite() {
    Device("stop " + Dir());
    StopScheduler();
  }

  static std::string Loopback(int port) { return "127.0.0.1:" + std::to_string(port); }
  static bool Listed(const std::string& name) {
    const std::vector<std::string> lines = scheduler_->OutputLines("lpstat -e");
    return std::find(lines.begin(), lines.end(), name) != lines.end();
  }
  template <class Condition>
  static void WaitUntil(Condition done) {
    const auto give_up = Clock::now() + std::chrono::seconds(15);
    while (!done() && Clock::now() < give_up) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(done());
  }

  static int desk_, hall_, gone_, poster_, lobby_;
};

int FoundPrintersTest::desk_ = 0, FoundPrintersTest::hall_ = 0, FoundPrintersTest::gone_ = 0,
    FoundPrintersTest::poster_ = 0, FoundPrintersTest::lobby_ = 0;

TEST_F(FoundPrintersTest, AreListedAsLpstatListsThemAndAskedThemselves) {
  const std::string queues = scheduler_->Output("lpstat -p");
  std::vector<std::string> names;
  for (const PrinterObject& p : printers.Printers()) names.push_back(Utf16ToUtf8(p.DeviceName));
  std::vector<std::string> listed = scheduler_->OutputLines("lpstat -e");
  // libcups 2.4 lists a printer again beside the queue on its DNS-SD service;
  // that queue stands for it.
  std::erase(listed, "Lobby_Printer");
  EXPECT_EQ(names, listed);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Hall_Copier"), 1) << "the queue stands for its printer";
  EXPECT_EQ(std::count(names.begin(), names.end(), "Poster"), 0) << "PostScript alone is no destination";

  ASSERT_EQ(Test(u"Desk_Printer"), u"YES");
  const probe::PrinterInfo2& info = module.PrinterInfo;
  EXPECT_EQ(info.PrinterName, u"Desk_Printer");
  for (const std::string& line : scheduler_->OutputLines("lpstat -l -e"))
    if (line.rfind("Desk_Printer ", 0) == 0) {
      EXPECT_EQ(Utf8ToUtf16(line.substr(line.rfind(' ') + 1)), info.PortName);
    }
  EXPECT_EQ(info.DriverName, u"Example Printer");
  EXPECT_EQ(info.Comment, u"Desk Printer");
  EXPECT_EQ(info.Location, u"Room 4");
  EXPECT_EQ(info.Attributes, PRINTER_ATTRIBUTE_NETWORK);
  EXPECT_EQ(info.AveragePPM, 12);
  EXPECT_EQ(scheduler_->Output("lpstat -p"), queues) << "testing a found printer makes no queue";
}

TEST_F(FoundPrintersTest, OneThatNeverAnswersIsNotReadyAndOneGoneIsNotFound) {
  printers.Printers();
  Device("pause " + Dir());  // Test Device
  EXPECT_EQ(Test(u"Test_Device"), u"NO");
  EXPECT_NE(module.PrinterInfo.Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE, 0);
  EXPECT_NE(module.PrinterInfo.Status & PRINTER_STATUS_OFFLINE, 0);

  Device("kill " + Dir() + " " + std::to_string(gone_));
  WaitUntil([&] { return !Listed("Gone_Printer"); });
  EXPECT_EQ(Test(u"Gone_Printer"), u"NOTFOUND");
}

TEST_F(FoundPrintersTest, ACupsBrowsedQueueIsAsReadyAsThePrinterBehindIt) {
  printers.Printers();
  EXPECT_EQ(Test(u"Hall_Copier"), u"YES");
  EXPECT_EQ(Test(u"Annex"), u"YES");

  Device("pause " + Dir() + " " + std::to_string(hall_));
  EXPECT_EQ(Test(u"Hall_Copier"), u"NO");
  EXPECT_NE(module.PrinterInfo.Status & PRINTER_STATUS_OFFLINE, 0);
  scheduler_->Run("lpadmin -p Annex -o 'cups-browsed-dest-printer-default=\"8 ipp://" +
                Loopback(ClosedLoopbackPort()) + "/ipp/print pdf 300dpi\"'");
  EXPECT_EQ(Test(u"Annex"), u"NO");
}

}  // namespace
