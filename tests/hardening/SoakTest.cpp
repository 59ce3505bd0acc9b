// A thousand printer tests in a row in one process, over each backend: the
// open file descriptors, the open printer handles and the resident memory
// stay flat.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CupsPrinters.h"
#include "MemoryPrinters.h"
#include "Module1.h"
#include "PrivateScheduler.h"

#if defined(__SANITIZE_ADDRESS__)
// Freed memory waits in AddressSanitizer's quarantine (256 MiB by default)
// before it is reused, which would read as growth; keep the wait short so
// that resident memory means what it means without the sanitizer.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=1"; }
#endif

namespace {

constexpr int kTests = 1000;
constexpr int kWarmUp = 100;
constexpr long kGrowthBound = 4L << 20;  // bytes

struct Usage {
  long fds = 0;
  long rss = 0;  // bytes
};

Usage Now() {
  Usage u;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++u.fds;
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  u.rss = resident * sysconf(_SC_PAGESIZE);
  return u;
}

struct View : probe::TechnicalView {
  std::size_t lines = 0;
  void List1Clear() override { lines = 0; }
  void List1AddItem(const std::u16string&) override { ++lines; }
  void SetLabel1Caption(const std::u16string&) override {}
};

// Runs `test(i)` kWarmUp times and then kTests times, and checks that the
// second stretch leaves descriptors, handles and memory as it found them.
template <typename Test>
void ExpectFlat(printing::PrinterServices& printers, Test&& test) {
  for (int i = 0; i < kWarmUp; ++i) test(i);
  const Usage before = Now();
  const auto begin = std::chrono::steady_clock::now();
  for (int i = 0; i < kTests; ++i) test(i);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - begin);
  const Usage after = Now();
  std::cout << kTests << " tests in " << took.count() << " ms; fds " << before.fds << " -> "
            << after.fds << ", RSS " << before.rss / 1024 << " KiB -> " << after.rss / 1024
            << " KiB\n";
  ::testing::Test::RecordProperty("fds", std::to_string(before.fds) + " -> " + std::to_string(after.fds));
  ::testing::Test::RecordProperty("rss_kib", std::to_string(before.rss / 1024) + " -> " +
                                                 std::to_string(after.rss / 1024));
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(printers.OpenHandleCount(), 0u);
  EXPECT_LT(after.rss - before.rss, kGrowthBound);
}

TEST(Soak, MemoryBackendThousandTestsStayFlat) {
  printing::MemoryPrinters printers;
  printing::Record ready;
  ready.PrinterName = "Office";
  ready.Comment = std::string(4096, 'c');
  ready.Attributes = printing::PRINTER_ATTRIBUTE_LOCAL;
  printing::Record offline = ready;
  offline.Attributes |= printing::PRINTER_ATTRIBUTE_WORK_OFFLINE;
  printers.Add(u"Office", ready);
  printers.Add(u"Paused", offline);
  printers.Add(u"Locked", ready).CannotOpen = true;
  printers.Add(u"Mute", ready).QueryFails = true;
  printers.Add(u"Broken", ready);
  // A failure inside a test passes out of it, as it does to the window.
  bool fail_copy = false;
  printers.Fault = [&](const std::string& call) {
    if (fail_copy && call == "RtlMoveMemory") throw std::runtime_error("copy failed");
  };
  View view;
  probe::Module1 module(printers, view);
  struct Case {
    const char16_t* name;
    const char16_t* code;  // null: the test throws
  };
  const Case cases[] = {{u"Office", u"YES"},         {u"Paused", u"NO"},
                        {u"Gone", u"NOTFOUND"},      {u"Locked", u"CANNOTOPEN"},
                        {u"Mute", u"PROBLEM"},       {u"Broken", nullptr}};
  ExpectFlat(printers, [&](int i) {
    const Case& c = cases[i % std::size(cases)];
    fail_copy = c.code == nullptr;
    if (c.code == nullptr) {
      ASSERT_THROW(module.TestPrinter(c.name), std::runtime_error);
    } else {
      ASSERT_EQ(module.TestPrinter(c.name), c.code) << i;
    }
  });
}

TEST(Soak, CupsBackendThousandTestsStayFlat) {
  cupstest::PrivateScheduler scheduler;
  scheduler.Start();
  scheduler.Run("lpadmin -p Office -E -v file:///dev/null -D \"$(printf '%4096s' | tr ' ' d)\"");
  scheduler.Run("lpadmin -p Paused -E -v file:///dev/null && cupsdisable Paused");
  scheduler.Run("lpoptions -p Office/draft -o copies=2");
  printing::CupsPrinters printers;
  View view;
  probe::Module1 module(printers, view);
  struct Case {
    const char16_t* name;
    const char16_t* code;
  };
  const Case cases[] = {
      {u"Office", u"YES"}, {u"Paused", u"NO"}, {u"Office/draft", u"YES"}, {u"Gone", u"NOTFOUND"}};
  ExpectFlat(printers, [&](int i) {
    const Case& c = cases[i % std::size(cases)];
    ASSERT_EQ(module.TestPrinter(c.name), c.code) << i;
    if (c.code != std::u16string(u"NOTFOUND")) {
      ASSERT_EQ(view.lines, 21u);
    }
  });
  EXPECT_EQ(module.PrinterInfo.Comment.size(), 1024u);  // the last read: Office/draft
}

}  // namespace
