#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "MemoryPrinters.h"
#include "Module1.h"
#include "Text.h"

namespace {

using printing::MemoryPrinters;
using printing::Record;

// The technical view as the window shows it, with switches to make it fail.
struct View : probe::TechnicalView {
  std::vector<std::u16string> lines;
  std::u16string label;
  int clears = 0;
  int fail_at_line = -1;      // adding this line (0-based) fails
  int label_failures = 0;     // this many label writes fail

  void List1Clear() override {
    ++clears;
    lines.clear();
  }
  void List1AddItem(const std::u16string& line) override {
    if (static_cast<int>(lines.size()) == fail_at_line) throw std::runtime_error("list box failed");
    lines.push_back(line);
  }
  void SetLabel1Caption(const std::u16string& caption) override {
    if (label_failures > 0) {
      --label_failures;
      throw std::runtime_error("label failed");
    }
    label = caption;
  }
};

Record WithAttributes(std::int32_t attributes) {
  Record r;
  r.PrinterName = "Office";
  r.Attributes = attributes;
  return r;
}

class TestPrinterTest : public ::testing::Test {
 protected:
  MemoryPrinters printers;
  View view;
  probe::Module1 module{printers, view};
};

TEST_F(TestPrinterTest, ReadyAndNotReadyFromTheWorkOfflineBit) {
  struct Case {
    std::int32_t attributes;
    const char16_t* bits;
    const char16_t* code;
  };
  const Case cases[] = {
      {0, u"0000000000000", u"YES"},       {1024, u"0010000000000", u"NO"},
      {2628, u"0101001000100", u"YES"},    {3652, u"0111001000100", u"NO"},
      {4095, u"0111111111111", u"NO"},     {8191, u"1111111111111", u"NO"},
      // Only the low 13 bits are shown, so the third digit stays the work-offline bit.
      {8192, u"0000000000000", u"YES"},    {8192 + 1024, u"0010000000000", u"NO"},
      {0x4000 | 0x40, u"0000001000000", u"YES"},
      {-1, u"1111111111111", u"NO"},       {-8192, u"0000000000000", u"YES"},
  };
  for (const Case& c : cases) {
    printers.Installed.clear();
    printers.Add(u"Office", WithAttributes(c.attributes));
    EXPECT_EQ(module.TestPrinter(u"Office"), c.code) << c.attributes;
    EXPECT_EQ(module.AttributeBits, c.bits) << c.attributes;
    EXPECT_EQ(view.label, c.bits) << c.attributes;
    EXPECT_EQ(printers.OpenHandleCount(), 0u);
  }
}

TEST_F(TestPrinterTest, SaysWhyFromWhatTheLayerLearnt) {
  printers.Add(u"Office", WithAttributes(0));
  printers.Add(u"Offline", WithAttributes(printing::PRINTER_ATTRIBUTE_WORK_OFFLINE));
  printers.Add(u"Locked").CannotOpen = true;
  printers.Add(u"Broken").QueryFails = true;
  struct Case {
    const char16_t* name;
    const char16_t* reason;
  };
  const Case cases[] = {
      {u"Office", u"Ready: the print system reports it idle."},
      {u"Offline", u"Not ready: the printer cannot print now."},
      {u"Nowhere", u"No printer named \"Nowhere\" is installed."},
      {u"Locked", u"The system would not open the printer: Access is denied. (error 5)"},
      {u"Broken", u"The printer's description could not be read: The RPC server is unavailable. (error 1722)"},
  };
  for (const Case& c : cases) {
    module.TestPrinter(c.name);
    EXPECT_EQ(module.Reason(), c.reason) << printing::Utf16ToUtf8(c.name);
  }
}

TEST_F(TestPrinterTest, ListsTheFirst21WordsInDecimal) {
  Record r;
  r.DevMode = -5;
  r.Attributes = 2628;
  r.Priority = 1;
  r.Status = -2147483647 - 1;
  r.Jobs = 7;
  r.AveragePPM = 2147483647;
  printers.Add(u"Office", r);
  ASSERT_EQ(module.TestPrinter(u"Office"), u"YES");
  const std::vector<std::u16string> expected = {
      u"Buffer No. 0  Buffer Value 0",   u"Buffer No. 1  Buffer Value 0",
      u"Buffer No. 2  Buffer Value 0",   u"Buffer No. 3  Buffer Value 0",
      u"Buffer No. 4  Buffer Value 0",   u"Buffer No. 5  Buffer Value 0",
      u"Buffer No. 6  Buffer Value 0",   u"Buffer No. 7  Buffer Value -5",
      u"Buffer No. 8  Buffer Value 0",   u"Buffer No. 9  Buffer Value 0",
      u"Buffer No. 10  Buffer Value 0",  u"Buffer No. 11  Buffer Value 0",
      u"Buffer No. 12  Buffer Value 0",  u"Buffer No. 13  Buffer Value 2628",
      u"Buffer No. 14  Buffer Value 1",  u"Buffer No. 15  Buffer Value 0",
      u"Buffer No. 16  Buffer Value 0",  u"Buffer No. 17  Buffer Value 0",
      u"Buffer No. 18  Buffer Value -2147483648", u"Buffer No. 19  Buffer Value 7",
      u"Buffer No. 20  Buffer Value 2147483647",
  };
  EXPECT_EQ(view.lines, expected);
  EXPECT_EQ(module.PrinterInfo.pDevMode, -5);
  EXPECT_EQ(module.PrinterInfo.Status, -2147483647 - 1);
  EXPECT_EQ(module.PrinterInfo.AveragePPM, 2147483647);
}

TEST_F(TestPrinterTest, SizesTheBufferFromTheBytesNeeded) {
  // 84 bytes of words, plus each string with its NUL; U = bytes / 4 + 3, halves to even.
  struct Case {
    const char* comment;  // absent when null
    std::int32_t bytes;
    std::size_t upper;
  };
  const Case cases[] = {{nullptr, 84, 24}, {"a", 86, 24}, {"abcde", 90, 26}, {"ab", 87, 25}, {"abcdefg", 92, 26}};
  for (const Case& c : cases) {
    printers.Installed.clear();
    Record r;
    if (c.comment) r.Comment = c.comment;
    printers.Add(u"Office", r);
    ASSERT_EQ(module.TestPrinter(u"Office"), u"YES");
    EXPECT_EQ(module.BytesNeeded, c.bytes);
    EXPECT_EQ(module.InfoBuffer.size(), c.upper + 1) << c.bytes;
  }
}

TEST_F(TestPrinterTest, UnknownNameIsNotFoundAndLeavesEverythingAsItWas) {
  printers.Add(u"Office", WithAttributes(1024));
  ASSERT_EQ(module.TestPrinter(u"Office"), u"NO");
  const auto buffer = module.InfoBuffer;
  const auto lines = view.lines;

  printers.Opened.clear();
  EXPECT_EQ(module.TestPrinter(u"office"), u"NOTFOUND");  // names compare case-sensitively
  EXPECT_TRUE(printers.Opened.empty());
  EXPECT_EQ(module.InfoBuffer, buffer);
  EXPECT_EQ(view.lines, lines);
  EXPECT_EQ(view.label, u"0010000000000");
  EXPECT_EQ(module.PrinterInfo.PrinterName, u"Office");
}

TEST_F(TestPrinterTest, CannotOpenLeavesTheStateAndOpensNothing) {
  printers.Add(u"Office", WithAttributes(0));
  ASSERT_EQ(module.TestPrinter(u"Office"), u"YES");
  const auto buffer = module.InfoBuffer;
  printers.Installed[0].CannotOpen = true;
  EXPECT_EQ(module.TestPrinter(u"Office"), u"CANNOTOPEN");
  EXPECT_EQ(module.OpenResult, 0);
  EXPECT_EQ(module.InfoBuffer, buffer);
  EXPECT_EQ(view.lines.size(), 21u);
  EXPECT_EQ(view.clears, 1);
  EXPECT_EQ(printers.OpenHandleCount(), 0u);
}

TEST_F(TestPrinterTest, FailedQueryIsAProblemAndClosesThePrinter) {
  printers.Add(u"Office", WithAttributes(1024));
  ASSERT_EQ(module.TestPrinter(u"Office"), u"NO");
  printers.Installed[0].QueryFails = true;
  EXPECT_EQ(module.TestPrinter(u"Office"), u"PROBLEM");
  EXPECT_EQ(module.QueryResult, 0);
  EXPECT_EQ(printers.OpenHandleCount(), 0u);
  EXPECT_EQ(view.clears, 1);
  EXPECT_EQ(view.label, u"0010000000000");
  EXPECT_EQ(module.AttributeBits, u"0010000000000");
  EXPECT_EQ(module.PrinterInfo.Attributes, 1024);
}

TEST_F(TestPrinterTest, TwoPrintersOfOneNameTheLastBecomesCurrentAndIsOpenedOnce) {
  printers.Add(u"Lab", WithAttributes(0));
  printers.Add(u"Other", WithAttributes(0));
  printers.Add(u"Lab", WithAttributes(1024));
  EXPECT_EQ(module.TestPrinter(u"Lab"), u"NO");
  ASSERT_TRUE(printers.Printer().has_value());
  EXPECT_EQ(printers.Printer()->Id, 2);
  EXPECT_EQ(module.CurrentPrinter.Id, 2);  // every printer was visited
  EXPECT_EQ(printers.Opened, std::vector<std::u16string>{u"Lab"});
  EXPECT_EQ(printers.CollectionReads, 1);
}

TEST_F(TestPrinterTest, FailureWhileListingResumesAtTheBitStringKeepingTheLines) {
  printers.Add(u"Office", WithAttributes(1024));
  view.fail_at_line = 5;
  EXPECT_EQ(module.TestPrinter(u"Office"), u"NO");
  EXPECT_EQ(view.lines.size(), 5u);
  EXPECT_EQ(view.lines.back(), u"Buffer No. 4  Buffer Value 0");
  EXPECT_EQ(view.label, u"0010000000000");
  EXPECT_EQ(printers.OpenHandleCount(), 0u);

  // One failure in the bit string is resumed from too.
  view.fail_at_line = -1;
  view.label_failures = 1;
  EXPECT_EQ(module.TestPrinter(u"Office"), u"NO");
  EXPECT_EQ(view.lines.size(), 21u);
  EXPECT_EQ(view.label, u"0010000000000");
}

TEST_F(TestPrinterTest, ASecondFailureAfterResumingPassesOutWithThePrinterClosed) {
  printers.Add(u"Office", WithAttributes(0));
  view.fail_at_line = 3;
  view.label_failures = 1;
  EXPECT_THROW(module.TestPrinter(u"Office"), std::runtime_error);
  EXPECT_EQ(view.lines.size(), 3u);
  EXPECT_EQ(printers.OpenHandleCount(), 0u);
}

TEST_F(TestPrinterTest, FailuresOutsideTheListingPassOutWithThePrinterClosed) {
  printers.Add(u"Office", WithAttributes(0));
  for (const char* failing : {"GetPrinterA", "RtlMoveMemory"}) {
    printers.Fault = [failing](const std::string& call) {
      if (call == failing) throw std::runtime_error(call + " failed");
    };
    EXPECT_THROW(module.TestPrinter(u"Office"), std::runtime_error) << failing;
    EXPECT_EQ(printers.OpenHandleCount(), 0u) << failing;
  }
  printers.Fault = [](const std::string& call) {
    if (call == "Printers") throw std::runtime_error("no collection");
  };
  EXPECT_THROW(module.TestPrinter(u"Office"), std::runtime_error);
  printers.Fault = nullptr;
  EXPECT_EQ(module.TestPrinter(u"Office"), u"YES");  // and the next test runs normally
}

class DecodingTest : public TestPrinterTest {
 protected:
  void SetUp() override { printing::SetAnsiCodePage("ISO-8859-1"); }
  void TearDown() override { printing::SetAnsiCodePage(""); }
};

TEST_F(DecodingTest, StringsDecodeFromTheSingleByteCodePageEndingAtTheirNul) {
  Record r;
  r.ServerName = std::nullopt;
  r.PrinterName = "B\xC3\xBCro Laser";  // "Büro Laser"
  r.ShareName = "";
  r.PortName = std::string(1023, 'p');
  r.DriverName = "Generic \xE2\x82\xAC";  // the euro sign has no ISO-8859-1 byte
  r.Parameters = "last";                 // the very end of the record
  printers.Add(u"Office", r);
  ASSERT_EQ(module.TestPrinter(u"Office"), u"YES");
  // The sizing query left its insufficient-buffer error; the strings are cut anyway.
  EXPECT_EQ(printers.LastDllError(), printing::ERROR_INSUFFICIENT_BUFFER);
  const probe::PrinterInfo2& info = module.PrinterInfo;
  EXPECT_EQ(info.ServerName, u"");
  EXPECT_EQ(info.PrinterName, u"B\u00FCro Laser");
  EXPECT_EQ(info.ShareName, u"");
  EXPECT_EQ(info.PortName, std::u16string(1023, u'p'));
  EXPECT_EQ(info.DriverName, u"Generic ?");
  EXPECT_EQ(info.Comment, u"");
  EXPECT_EQ(info.Parameters, u"last");
  EXPECT_EQ(module.BytesNeeded, 84 + 11 + 1 + 1024 + 10 + 5);
  EXPECT_EQ(module.InfoBuffer.at(0), 0);
  EXPECT_NE(module.InfoBuffer.at(2), 0);  // an empty string is not an absent one
}

TEST_F(DecodingTest, StringFromPointerReadsAtMostTheLengthAndNothingOutsideTheRecord) {
  Record r;
  r.PrinterName = std::string(2000, 'x');
  printers.Add(u"Office", r);
  ASSERT_EQ(module.TestPrinter(u"Office"), u"YES");
  EXPECT_EQ(module.PrinterInfo.PrinterName, std::u16string(1024, u'x'));

  const std::int32_t length = 1024;
  const std::int32_t none = 0;
  EXPECT_EQ(module.StringFromPointer(none, length), u"");
  const std::int32_t beyond = module.InfoBuffer.at(1) + 2000 + 1;  // past the record's last byte
  EXPECT_EQ(module.StringFromPointer(beyond, length), u"");
  const std::int32_t near_end = module.InfoBuffer.at(1) + 1990;
  EXPECT_EQ(module.StringFromPointer(near_end, length), std::u16string(10, u'x'));
  const std::int32_t wild = -4;
  EXPECT_EQ(module.StringFromPointer(wild, length), u"");
}

}  // namespace
