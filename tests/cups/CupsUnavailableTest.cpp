// CupsPrinters when the scheduler is missing or never answers: nothing is
// listed, nothing opens, and the program does not hang.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "CupsPrinters.h"
#include "Module1.h"
#include "NoView.h"
#include "PrivateScheduler.h"

using namespace printing;
using Clock = std::chrono::steady_clock;

namespace {

// Only catches a hang: several times the backend's own bounds (connect and
// answer), which bench/bounds.sh measures.
constexpr auto kHangBound = 5 * (CupsPrinters::kConnectTimeout + CupsPrinters::kAnswerTimeout);

class CupsUnavailableTest : public ::testing::Test {
 protected:
  // Only the folder and the environment; no scheduler is started.
  cupstest::PrivateScheduler folder;
  CupsPrinters printers;

  void TearDown() override { EXPECT_EQ(printers.OpenHandleCount(), 0u); }

  template <typename F>
  Clock::duration Timed(F&& f) {
    const auto begin = Clock::now();
    f();
    return Clock::now() - begin;
  }

  void ExpectNothingWithin(Clock::duration bound) {
    std::int32_t count = -1;
    EXPECT_LT(Timed([&] { count = printers.Printers().Count(); }), bound);
    EXPECT_EQ(count, 0);

    std::int32_t handle = 0, opened = -1;
    EXPECT_LT(Timed([&] { opened = printers.OpenPrinterW(u"Office", &handle, nullptr); }), bound);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(printers.LastDllError(), RPC_S_SERVER_UNAVAILABLE);
    // Why, as the window says it.
    probe::testing::NoView view;
    probe::Module1 module{printers, view};
    EXPECT_EQ(module.TestPrinter(u"Office"), u"NOTFOUND");
    EXPECT_EQ(module.Reason(), u"The print system does not answer, so no printer is listed.");
  }
};

}  // namespace

TEST_F(CupsUnavailableTest, NoSchedulerListsNothing) { ExpectNothingWithin(kHangBound); }

TEST_F(CupsUnavailableTest, MuteSchedulerListsNothingWithinBound) {
  cupstest::MuteScheduler mute(folder.Dir() + "/mute.sock");
  cupstest::PointClientsAt(mute.Path(), folder.ServerRoot(), folder.Home());
  ExpectNothingWithin(kHangBound);
}

TEST_F(CupsUnavailableTest, SchedulerStoppedWhileHandleIsOpen) {
  folder.Start();
  folder.Run("lpadmin -p Office -E -v file:///dev/null");
  std::int32_t handle = 0;
  ASSERT_NE(printers.OpenPrinterW(u"Office", &handle, nullptr), 0);
  folder.Stop();
  std::vector<unsigned char> buffer(4096);
  std::int32_t needed = 0;
  EXPECT_EQ(printers.GetPrinterA(handle, 2, buffer.data(), 4096, &needed), 0);
  EXPECT_EQ(printers.LastDllError(), RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(printers.LastFindings().error_message, "The RPC server is unavailable.");
  EXPECT_NE(printers.ClosePrinter(handle), 0);
  EXPECT_EQ(printers.Printers().Count(), 0);
}
