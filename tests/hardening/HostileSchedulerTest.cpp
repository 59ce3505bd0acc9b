// The window over the CUPS backend when the scheduler's data is hostile
// (names of the greatest length lpadmin takes, brackets, letters beyond
// ASCII, 4 KiB descriptions, a remote queue, a hundred instances) and when
// the scheduler dies, restarts or loses a queue in the middle of a test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "CupsPrinters.h"
#include "QtWindow.h"
#include "PrivateScheduler.h"
#include "Text.h"
#include "WithFaults.h"

#ifndef KAVRO_PRIVATE_CUPSD
#error "KAVRO_PRIVATE_CUPSD must name scripts/private-cupsd.sh"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Only catches a hang: several times the backend's own bounds (a few
// seconds), which bench/bounds.sh measures.
constexpr std::chrono::seconds kHangBound{30};

// CupsPrinters with a hook at the start of each spooler call and of each
// list load, for faults at exactly those moments.
using FaultyCups = printing::testing::WithFaults<printing::CupsPrinters>;

long OpenDescriptors() {
  long n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// The window worked as a user works it.
class WindowUser {
 public:
  explicit WindowUser(printing::PrinterServices& printers) : window(std::make_unique<QtWindow>(printers)) {
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void Load() { QTest::mouseClick(window->findChild<QPushButton*>("cmdLoadPrinters"), Qt::LeftButton); }
  void Choose(const QString& entry) {
    auto* list = window->findChild<QListWidget*>("lstPrinters");
    const auto found = list->findItems(entry, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << entry.toStdString();
    list->scrollToItem(found.front());
    const QPoint at = list->visualItemRect(found.front()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  }
  // Presses Test Printer; how long the verdict took.
  Clock::duration Test() {
    const auto begin = Clock::now();
    QTest::mouseClick(window->findChild<QPushButton*>("cmdTest"), Qt::LeftButton);
    return Clock::now() - begin;
  }
  QString Text(const char* label) { return window->findChild<QLabel*>(label)->text(); }
  QStringList Listed(const char* list = "lstPrinters") {
    QStringList out;
    auto* w = window->findChild<QListWidget*>(list);
    for (int i = 0; i < w->count(); ++i) out << w->item(i)->text();
    return out;
  }
  const probe::PrinterInfo2& Info() { return window->Form().Probe().PrinterInfo; }

  std::unique_ptr<QtWindow> window;
};

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
std::u16string U(const std::string& utf8) { return printing::Utf8ToUtf16(utf8); }

// ---------------------------------------------------------------------------
// Hostile data

const std::string kLongName(127, 'P');  // lpadmin takes up to 127 characters
const std::string kLongBracketed = std::string(100, 'B') + "[" + std::string(25, 'x') + "]";
const std::string kUmlaut = "B\xC3\xBCro";                                  // Büro
const std::string kKanji = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";          // 日本語
const std::string kMixed = "\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9_Dr\xC3\xBC" "cker";  // Ünïcödé_Drücker
// 4 KiB each: 2048 times "é" (two bytes in UTF-8, one in ISO-8859-1), and digits.
std::string FourKibAccents() {
  std::string s;
  for (int i = 0; i < 2048; ++i) s += "\xC3\xA9";
  return s;
}
std::string FourKibDigits() {
  std::string s;
  for (int i = 0; i < 4096; ++i) s += static_cast<char>('0' + i % 10);
  return s;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }  // none holds a quote

class HostileDataTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scheduler = new cupstest::PrivateScheduler;
    // A queue of another server: the scheduler lists it as remote.
    scheduler->WritePrintersConf(
        "<Printer Remote>\nInfo Hall printer\nDeviceURI ipp://127.0.0.1:9/printers/Hall\n"
        "State Idle\nAccepting Yes\n</Printer>\n");
    scheduler->Start();
    for (const std::string& name :
         {kLongName, kLongBracketed, std::string("Lab"), std::string("Lab[2nd]"),
          std::string("[x]"), kUmlaut, kKanji, kMixed})
      scheduler->Run("lpadmin -p " + Quoted(name) + " -E -v file:///dev/null");
    scheduler->Run("lpadmin -p Long -E -v file:///dev/null -D " + Quoted(FourKibAccents()) + " -L " +
                   Quoted(FourKibDigits()));
    scheduler->Run("for i in $(seq -w 1 100); do lpoptions -p Lab/i$i -o copies=2 >/dev/null; done");
  }
  static void TearDownTestSuite() {
    delete scheduler;
    scheduler = nullptr;
  }
  void SetUp() override {
    scheduler->UseEnvironment();
    printing::SetAnsiCodePage("UTF-8");
  }
  void TearDown() override {
    printing::SetAnsiCodePage("");
    EXPECT_EQ(printers.OpenHandleCount(), 0u);
  }

  static cupstest::PrivateScheduler* scheduler;
  printing::CupsPrinters printers;
  WindowUser user{printers};
};

cupstest::PrivateScheduler* HostileDataTest::scheduler = nullptr;

TEST_F(HostileDataTest, EveryNameIsListedAsLpstatListsIt) {
  user.Load();
  const QStringList lpstat = Q(scheduler->Output("lpstat -e")).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lpstat.size(), 10 + 100) << scheduler->Output("lpstat -e");
  EXPECT_EQ(user.Listed(), lpstat);
  for (const std::string& name : {kLongName, kLongBracketed, kUmlaut, kKanji, kMixed})
    EXPECT_TRUE(user.Listed().contains(Q(name))) << name;
}

TEST_F(HostileDataTest, ADoubleClickTakesTheTextBeforeTheFirstBracket) {
  user.Load();
  user.Choose("Lab[2nd]");
  EXPECT_EQ(user.Text("lblPrinterName"), "Lab");
  user.Test();
  EXPECT_EQ(user.Text("lblResult"), "Printer Ready");
  EXPECT_EQ(user.Info().PrinterName, u"Lab");

  user.Choose("[x]");  // a bracket first: the whole entry
  EXPECT_EQ(user.Text("lblPrinterName"), "[x]");
  user.Test();
  EXPECT_EQ(user.Text("lblResult"), "Printer Ready");
  EXPECT_EQ(user.Info().PrinterName, u"[x]");

  // No queue is called by the text before the bracket.
  user.Choose(Q(kLongBracketed));
  EXPECT_EQ(user.Text("lblPrinterName"), QString(100, 'B'));
  user.Test();
  EXPECT_EQ(user.Text("lblResult"), "Printer Not available");
  EXPECT_EQ(user.Text("lblLongResult"), "Cannot find printer driver in Windows");
}

TEST_F(HostileDataTest, LongAndNonAsciiNamesAreTestedWhole) {
  user.Load();
  for (const std::string& name : {kLongName, kUmlaut, kKanji, kMixed, std::string("Lab/i100")}) {
    user.Choose(Q(name));
    EXPECT_EQ(user.Text("lblPrinterName"), Q(name));
    user.Test();
    EXPECT_EQ(user.Text("lblResult"), "Printer Ready") << name;
    EXPECT_EQ(user.Info().PrinterName, U(name)) << name;
  }
  // In a single-byte code page the record carries what it can hold.
  printing::SetAnsiCodePage("ISO-8859-1");
  user.Choose(Q(kUmlaut));
  user.Test();
  EXPECT_EQ(user.Text("lblResult"), "Printer Ready");
  EXPECT_EQ(user.Info().PrinterName, u"B\u00FCro");
  user.Choose(Q(kKanji));
  user.Test();
  EXPECT_EQ(user.Text("lblResult"), "Printer Ready");
  EXPECT_EQ(user.Info().PrinterName, u"???");
}

TEST_F(HostileDataTest, FourKibDescriptionsDecodeToTheirFirst1024Bytes) {
  user.Load();
  user.Choose("Long");
  user.Test();
  EXPECT_EQ(user.Text("lblResult"), "Printer Ready");
  EXPECT_EQ(user.Info().Comment, std::u16string(512, u'\u00E9'));  // 1024 bytes of UTF-8
  EXPECT_EQ(user.Info().Location, U(FourKibDigits().substr(0, 1024)));
  EXPECT_EQ(user.Listed("List1").size(), 21);

  printing::SetAnsiCodePage("ISO-8859-1");
  user.Test();
  EXPECT_EQ(user.Info().Comment, std::u16string(1024, u'\u00E9'));  // one byte each
  EXPECT_EQ(user.Info().Location, U(FourKibDigits().substr(0, 1024)));
}

TEST_F(HostileDataTest, ARemoteQueueNamesItsServer) {
  user.Load();
  user.Choose("Remote");
  EXPECT_LT(user.Test(), kHangBound);
  // Found and read; whether it is ready depends on a device nobody serves.
  EXPECT_EQ(user.Text("lblLongResult"), "Printer driver found and accessed OK");
  const QString bits = user.Text("Label1");
  ASSERT_EQ(bits.size(), 13);
  EXPECT_EQ(bits[8], '1') << "network (16)";
  EXPECT_EQ(bits[6], '0') << "not local (64)";
  EXPECT_EQ(user.Info().ServerName, u"127.0.0.1");
  EXPECT_EQ(user.Info().PortName, u"ipp://127.0.0.1:9/printers/Hall");
  EXPECT_EQ(user.Info().Comment, u"Hall printer");
}

// ---------------------------------------------------------------------------
// Faults in the middle of a test

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // On disk before the start, so that a scheduler killed before it saves
    // its queues finds them again when it starts anew.
    scheduler.WritePrintersConf(
        "<Printer Office>\nDeviceURI file:///dev/null\nState Idle\nAccepting Yes\n</Printer>\n"
        "<Printer Paused>\nDeviceURI file:///dev/null\nState Stopped\nAccepting Yes\n</Printer>\n");
    scheduler.Start();
    // One whole round first, so that what the window and libcups open once is open.
    user.Load();
    user.Choose("Office");
    user.Test();
    ASSERT_EQ(user.Text("lblResult"), "Printer Ready");
    descriptors = OpenDescriptors();
  }
  void TearDown() override {
    EXPECT_EQ(printers.OpenHandleCount(), 0u);
    EXPECT_EQ(OpenDescriptors(), descriptors);
  }

  pid_t SchedulerPid() {
    std::ifstream in(scheduler.Dir() + "/cupsd.pid");
    pid_t pid = 0;
    in >> pid;
    return pid;
  }
  // Kills the scheduler at once, as a crash would, and waits until it is gone.
  void KillScheduler() {
    const pid_t pid = SchedulerPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    const auto deadline = Clock::now() + kHangBound;
    while (Clock::now() < deadline) {
      std::ifstream status("/proc/" + std::to_string(pid) + "/status");
      std::string line;
      bool gone = !status;
      while (!gone && std::getline(status, line))
        if (line.rfind("State:", 0) == 0) gone = line.find('Z') != std::string::npos;
      if (gone) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FAIL() << "the scheduler did not die";
  }
  // The program works again once the scheduler is back.
  void ExpectRecovery() {
    printers.Fault = nullptr;
    scheduler.Stop();
    scheduler.Start();
    user.Choose("Office");
    user.Test();
    EXPECT_EQ(user.Text("lblResult"), "Printer Ready");
  }

  cupstest::PrivateScheduler scheduler;
  FaultyCups printers;
  WindowUser user{printers};
  long descriptors = 0;
};

TEST_F(FaultTest, SchedulerKilledBetweenOpenAndQueryIsAProblem) {
  int queries = 0;
  printers.Fault = [&](const std::string& call) {
    if (call == "GetPrinterA" && queries++ == 0) KillScheduler();
  };
  EXPECT_LT(user.Test(), kHangBound);
  EXPECT_EQ(queries, 2);
  EXPECT_EQ(user.Text("lblResult"), "Printer Not available");
  EXPECT_EQ(user.Text("lblLongResult"), "Printer found but problem trying to access driver");
  ExpectRecovery();
}

TEST_F(FaultTest, QueueDeletedOrSchedulerKilledBetweenLookupAndOpenCannotBeOpened) {
  for (bool kill_scheduler : {false, true}) {
    printers.Fault = [&](const std::string& call) {
      if (call != "OpenPrinterW") return;
      if (kill_scheduler)
        KillScheduler();
      else
        scheduler.Run("lpadmin -x Office");
    };
    EXPECT_LT(user.Test(), kHangBound);
    EXPECT_EQ(user.Text("lblResult"), "Printer Not available") << kill_scheduler;
    EXPECT_EQ(user.Text("lblLongResult"), "Printer found but cannot access driver") << kill_scheduler;
    printers.Fault = nullptr;
    if (!kill_scheduler) scheduler.Run("lpadmin -p Office -E -v file:///dev/null");
  }
  ExpectRecovery();
}

TEST_F(FaultTest, SchedulerRestartedDuringAListLoadListsAllOrNothing) {
  const QStringList before = user.Listed();
  ASSERT_EQ(before, QStringList({"Office", "Paused"}));
  // The scheduler freezes as the load begins: the load's request waits on it
  // until it is killed and a new one starts.
  std::thread restart;
  printers.Fault = [&](const std::string& call) {
    if (call != "Printers" || restart.joinable()) return;
    const pid_t pid = SchedulerPid();
    ASSERT_EQ(kill(pid, SIGSTOP), 0);
    restart = std::thread([this, pid] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      kill(pid, SIGKILL);
      scheduler.Run(std::string("'") + KAVRO_PRIVATE_CUPSD + "' start " + scheduler.Dir());
    });
  };
  const auto begin = Clock::now();
  user.Load();
  const auto took = Clock::now() - begin;
  EXPECT_LT(took, kHangBound);
  ASSERT_TRUE(restart.joinable());
  restart.join();
  const QStringList added = user.Listed().mid(before.size());
  std::cout << "the load took " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
            << " ms and listed " << added.size() << " entries\n";
  EXPECT_TRUE(added.isEmpty() || added == before) << added.join(',').toStdString();

  printers.Fault = nullptr;
  user.Load();  // the new scheduler lists everything
  EXPECT_EQ(user.Listed().mid(before.size() + added.size()), before);
  user.Choose("Paused");
  user.Test();
  EXPECT_EQ(user.Text("lblResult"), "Printer Not Ready (at this time)");
}

}  // namespace
