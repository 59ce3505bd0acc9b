// A private scheduler shared by the tests of one suite (started once: libdbus
// reads the system bus's address once a process), and for each test the
// program's probe over the CUPS backend, tested as the window tests.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "CupsPrinters.h"
#include "Module1.h"
#include "NoView.h"
#include "PrivateScheduler.h"
#include "Text.h"

namespace cupstest {

class SchedulerSuite : public ::testing::Test {
 protected:
  using Clock = std::chrono::steady_clock;
  // Only catches a hang: several times what a test of a printer may take.
  static constexpr auto kHang =
      4 * (printing::CupsPrinters::kConnectTimeout + printing::CupsPrinters::kAnswerTimeout +
           printing::CupsPrinters::kDeviceCheckTimeout);

  static void StartScheduler() {
    scheduler_ = new PrivateScheduler;
    scheduler_->Start();
  }
  static void StopScheduler() {
    delete scheduler_;
    scheduler_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(scheduler_ != nullptr && scheduler_->Running()) << "no private scheduler";
    scheduler_->UseEnvironment();
  }
  void TearDown() override { EXPECT_EQ(printers.OpenHandleCount(), 0u); }

  // The folder of the suite's devices, and scripts/ipp-device.sh run on it.
  static std::string Dir() { return scheduler_->Dir() + "/device"; }
  static void Device(const std::string& arguments) {
    scheduler_->Run(std::string(KAVRO_IPP_DEVICE) + " " + arguments);
  }

  // Tests the printer as the window does; a hang fails.
  std::u16string Test(const std::u16string& name) {
    const auto start = Clock::now();
    std::u16string code = module.TestPrinter(name);
    EXPECT_LT(Clock::now() - start, kHang) << "testing " << printing::Utf16ToUtf8(name);
    return code;
  }

  inline static PrivateScheduler* scheduler_ = nullptr;
  printing::CupsPrinters printers;
  probe::testing::NoView view;
  probe::Module1 module{printers, view};
};

}  // namespace cupstest
