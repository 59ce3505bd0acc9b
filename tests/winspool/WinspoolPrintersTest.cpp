// The spooler backend against a real spooler: wine's, whose printers are the
// queues of the private scheduler started by the fixture (Office, Paused,
// Rejecting and Workroom, see scripts/wine-spooler.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Module1.h"
#include "WinspoolPrinters.h"

#include "WindowsApi.h"  // last

namespace {

using printing::PrinterServices;
using printing::WinspoolPrinters;

struct View : probe::TechnicalView {
  std::vector<std::u16string> lines;
  std::u16string label;
  void List1Clear() override { lines.clear(); }
  void List1AddItem(const std::u16string& line) override { lines.push_back(line); }
  void SetLabel1Caption(const std::u16string& caption) override { label = caption; }
};

// Sets attribute bits of a printer in the spooler itself, as an administrator
// would, and puts the old attributes back afterwards.
class SpoolerAttributes {
 public:
  SpoolerAttributes(const char* printer, DWORD set) {
    PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterA(const_cast<char*>(printer), &handle_, &all)) {
      handle_ = nullptr;
      return;
    }
    DWORD needed = 0;
    GetPrinterA(handle_, 2, nullptr, 0, &needed);
    info_.assign(needed, 0);
    if (!GetPrinterA(handle_, 2, info_.data(), needed, &needed)) return;
    old_ = Info().Attributes;
    Info().Attributes = old_ | set;
    changed_ = SetPrinterA(handle_, 2, info_.data(), 0);
  }
  ~SpoolerAttributes() {
    if (changed_) {
      Info().Attributes = old_;
      SetPrinterA(handle_, 2, info_.data(), 0);
    }
    if (handle_) ClosePrinter(handle_);
  }
  bool Changed() const { return changed_; }

 private:
  PRINTER_INFO_2A& Info() { return *reinterpret_cast<PRINTER_INFO_2A*>(info_.data()); }
  HANDLE handle_ = nullptr;
  std::vector<BYTE> info_;
  DWORD old_ = 0;
  bool changed_ = false;
};

class WinspoolTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(printers.OpenHandleCount(), 0u);
    EXPECT_EQ(printers.SpoolerHandleCount(), 0u) << "a spooler handle was left open";
  }

  WinspoolPrinters printers;
  View view;
  probe::Module1 module{printers, view};
};

TEST_F(WinspoolTest, ListsTheSchedulerQueues) {
  std::vector<std::u16string> names;
  for (const auto& printer : printers.Printers()) names.push_back(printer.DeviceName);
  for (const char16_t* queue : {u"Office", u"Paused", u"Rejecting", u"Workroom"})
    EXPECT_NE(std::find(names.begin(), names.end(), queue), names.end()) << "missing a queue";
  EXPECT_EQ(names.size(), 4u);
}

TEST_F(WinspoolTest, IdleQueueIsReady) {
  EXPECT_EQ(module.TestPrinter(u"Office"), u"YES");
  EXPECT_EQ(module.PrinterInfo.PrinterName, u"Office");
  EXPECT_EQ(module.PrinterInfo.PortName, u"CUPS:Office");
  EXPECT_EQ(module.PrinterInfo.Comment, u"Ready to print");
  EXPECT_EQ(module.PrinterInfo.Location, u"Front desk");
  EXPECT_EQ(view.label, u"0000000000000");
  EXPECT_EQ(view.lines.size(), 21u);
  // The record is the 32-bit one: its strings follow the 21 words, at
  // addresses of the layer's window, whatever the spooler's own were.
  const auto name_at = static_cast<std::uint32_t>(module.InfoBuffer.at(1));
  EXPECT_GE(name_at, PrinterServices::kRecordAddress + 84);
  EXPECT_LT(name_at, PrinterServices::kRecordAddress + static_cast<std::uint32_t>(module.BytesNeeded));
}

TEST_F(WinspoolTest, WorkOfflineIsNotReady) {
  SpoolerAttributes offline("Workroom", PRINTER_ATTRIBUTE_WORK_OFFLINE);
  ASSERT_TRUE(offline.Changed()) << "could not set the printer offline, error " << GetLastError();
  EXPECT_EQ(module.TestPrinter(u"Workroom"), u"NO");
  EXPECT_EQ(view.label, u"0010000000000");
  EXPECT_EQ(module.Reason(),
            u"Not ready: its user set it to work offline (Use Printer Offline). Clear \"Use Printer Offline\" in its "
            u"queue window.");
  EXPECT_EQ(module.PrinterInfo.PrinterName, u"Workroom");
  EXPECT_EQ(module.PrinterInfo.PortName, u"CUPS:Workroom");
  // From the scheduler's UTF-8 through the system code page.
  EXPECT_EQ(module.PrinterInfo.Comment, u"Caf\u00E9 corner");
}

TEST_F(WinspoolTest, MissingNameIsNotFound) {
  EXPECT_EQ(module.TestPrinter(u"No such printer"), u"NOTFOUND");
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(module.Reason(), u"No printer named \"No such printer\" is installed.");
}

TEST_F(WinspoolTest, SpoolerErrorsReachTheCaller) {
  std::int32_t handle = 0;
  EXPECT_EQ(printers.OpenPrinterW(u"No such printer", &handle, nullptr), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_PRINTER_NAME);
  // The system's own words for it.
  EXPECT_EQ(printers.LastFindings().open_error, ERROR_INVALID_PRINTER_NAME);
  EXPECT_FALSE(printers.LastFindings().error_message.empty());
  EXPECT_NE(printers.LastFindings().error_message, "Unknown error.");

  ASSERT_NE(printers.OpenPrinterW(u"Paused", &handle, nullptr), 0);
  std::int32_t needed = 0;
  std::int32_t one = 0;
  EXPECT_EQ(printers.GetPrinterA(handle, 2, &one, 1, &needed), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GT(needed, 84);
  std::vector<unsigned char> record(static_cast<std::size_t>(needed));
  EXPECT_NE(printers.GetPrinterA(handle, 2, record.data(), needed, &needed), 0);
  EXPECT_NE(printers.ClosePrinter(handle), 0);
  EXPECT_EQ(printers.ClosePrinter(handle), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_HANDLE);
}

}  // namespace
