// The window over the CUPS backend and a private scheduler, worked as a user
// works it: load, double-click, test.
#include "FakeUsbBus.h"
#include "SchedulerWindow.h"

namespace {

class SchedulerWindowTest : public SchedulerWindow {
 protected:
  static void SetUpTestSuite() {
    StartScheduler();
    scheduler->Run("lpadmin -p Office -E -v file:///dev/null -D 'Front desk'");
    scheduler->Run("lpadmin -d Office");
    scheduler->Run("lpoptions -p Office/duplex -o sides=two-sided-long-edge");
    scheduler->Run("lpadmin -p Paused -E -v file:///dev/null && cupsdisable Paused");
    scheduler->Run("lpadmin -p Rejecting -E -v file:///dev/null && cupsreject Rejecting");
  }
};

TEST_F(SchedulerWindowTest, ListsTheQueuesAsLpstatDoes) {
  Load();
  const QString lpstat = QString::fromStdString(scheduler->Output("lpstat -e"));
  EXPECT_EQ(Listed("lstPrinters"), lpstat.split('\n', Qt::SkipEmptyParts));
  EXPECT_EQ(Listed("lstPrinters"), QStringList({"Office", "Office/duplex", "Paused", "Rejecting"}));
}

TEST_F(SchedulerWindowTest, AnIdleQueueIsReady) {
  Load();
  for (const char* name : {"Office", "Office/duplex"}) {
    Choose(name);
    Test();
    EXPECT_EQ(Text("lblResult"), "Printer Ready") << name;
    EXPECT_EQ(Text("lblLongResult"), "Printer driver found and accessed OK");
    EXPECT_EQ(Listed("List1").size(), 21);
  }
  // Local (64), and Office is the default (4); the instance is not.
  EXPECT_EQ(Text("Label1"), "0000001000000");
  Choose("Office");
  Test();
  EXPECT_EQ(Text("Label1"), "0000001000100");
  EXPECT_EQ(Listed("List1").at(13), "Buffer No. 13  Buffer Value 68");
  EXPECT_EQ(window->Form().Probe().PrinterInfo.PrinterName, u"Office");
  EXPECT_EQ(window->Form().Probe().PrinterInfo.Comment, u"Front desk");
  EXPECT_EQ(window->Form().Probe().PrinterInfo.PortName, u"file:///dev/null");
}

TEST_F(SchedulerWindowTest, APausedOrRejectingQueueIsNotReady) {
  Load();
  for (const char* name : {"Paused", "Rejecting"}) {
    Choose(name);
    Test();
    EXPECT_EQ(Text("lblResult"), "Printer Not Ready (at this time)") << name;
    EXPECT_EQ(Text("lblLongResult"), "Printer driver found and accessed OK") << name;
    EXPECT_EQ(Text("Label1"), "0010001000000") << name;  // work offline (1024) and local (64)
  }
  EXPECT_EQ(Listed("List1").at(18), "Buffer No. 18  Buffer Value 0");  // Rejecting: not paused
}

TEST_F(SchedulerWindowTest, AQueueDeletedAfterListingIsNotFound) {
  scheduler->Run("lpadmin -p Gone -E -v file:///dev/null");
  Load();
  Choose("Office");
  Test();
  const QStringList technical = Listed("List1");
  scheduler->Run("lpadmin -x Gone");
  Choose("Gone");
  Test();
  EXPECT_EQ(Text("lblResult"), "Printer Not available");
  EXPECT_EQ(Text("lblLongResult"), "Cannot find printer driver in Windows");
  EXPECT_EQ(Listed("List1"), technical);  // left as the last test left it
}

TEST_F(SchedulerWindowTest, AUsbQueueIsReadyOnlyWhileItsPrinterIsPluggedIn) {
  usbtest::FakeUsbBus bus(SysfsRoot());
  usbtest::FakeUsbDevice laser;
  laser.port = "1-1";
  laser.manufacturer = "Hewlett-Packard";
  laser.product = "HP LaserJet P1005";
  laser.serial = "BC0H4NS";
  laser.ieee1284_id = "MFG:Hewlett-Packard;MDL:HP LaserJet P1005;CMD:ACL,ZJS,PJL;CLS:PRINTER;";
  bus.Plug(laser);
  scheduler->Run("lpadmin -p Laser -E -v 'usb://HP/LaserJet%20P1005?serial=BC0H4NS'");
  scheduler->Run("lpadmin -p Deskjet -E -v 'usb://HP/Deskjet%202540%20series?serial=CN3AK2KG0V05ZM'");
  Load();

  Choose("Laser");
  Test();
  EXPECT_EQ(Text("lblResult"), "Printer Ready");
  EXPECT_EQ(Text("Label1"), "0000001000000");
  EXPECT_EQ(Listed("List1").at(18), "Buffer No. 18  Buffer Value 0");

  Choose("Deskjet");  // never plugged in
  Test();
  EXPECT_EQ(Text("lblResult"), "Printer Not Ready (at this time)");
  EXPECT_EQ(Text("lblLongResult"), "Printer driver found and accessed OK");
  EXPECT_EQ(Text("Label1"), "0010001000000");                          // work offline (1024), local (64)
  EXPECT_EQ(Listed("List1").at(18), "Buffer No. 18  Buffer Value 128");  // offline

  bus.Unplug("1-1");
  Choose("Laser");
  Test();
  EXPECT_EQ(Text("lblResult"), "Printer Not Ready (at this time)");
  EXPECT_EQ(Listed("List1").at(18), "Buffer No. 18  Buffer Value 128");
  EXPECT_EQ(window->Form().Probe().PrinterInfo.PortName, u"usb://HP/LaserJet%20P1005?serial=BC0H4NS");

  scheduler->Run("lpadmin -x Laser && lpadmin -x Deskjet");
}

// Last, as it stops the scheduler.
TEST_F(SchedulerWindowTest, ZzAStoppedSchedulerFindsNothingAndNothingHangs) {
  Load();
  Choose("Office");
  scheduler->Stop();
  Test();
  EXPECT_EQ(Text("lblResult"), "Printer Not available");
  EXPECT_EQ(Text("lblLongResult"), "Cannot find printer driver in Windows");
  Load();
  EXPECT_EQ(Listed("lstPrinters").size(), 4);  // nothing added
}

}  // namespace
