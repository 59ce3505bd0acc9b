// The spooler calls of PrinterServices as a caller sees them, over the
// in-memory backend.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "MemoryPrinters.h"
#include "Text.h"

using namespace printing;

namespace {

constexpr std::uint32_t kBase = PrinterServices::kRecordAddress;

std::uint32_t Word(const std::vector<unsigned char>& bytes, int index) {
  std::uint32_t value = 0;
  for (int b = 3; b >= 0; --b)
    value = value << 8 | bytes.at(static_cast<std::size_t>(index) * 4 + b);
  return value;
}

// A NUL-terminated string read through RtlMoveMemory from a 32-bit address.
std::string ReadString(PrinterServices& s, std::uint32_t address) {
  std::string out;
  for (int i = 0; i < 4096; ++i) {
    char c = 'x';
    s.RtlMoveMemory(&c, static_cast<std::int32_t>(address + i), 1);
    if (c == '\0') return out;
    out += c;
  }
  ADD_FAILURE() << "no NUL within 4096 bytes of " << address;
  return out;
}

Record Described(std::string name, std::string comment) {
  Record r;
  r.PrinterName = std::move(name);
  r.Comment = std::move(comment);
  r.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  r.Status = PRINTER_STATUS_PAUSED;
  return r;
}

class PrinterServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAnsiCodePage("ISO-8859-1");
    printers.Add(u"Office", Described("Office", "Front desk"));
    printers.Add(u"Caf\u00E9", Described("Caf\xC3\xA9", "Bar"));
  }
  void TearDown() override {
    EXPECT_EQ(printers.OpenHandleCount(), 0u) << "a test left a handle open";
    SetAnsiCodePage("");
  }

  std::int32_t Open(const char16_t* name) {
    std::int32_t handle = 0;
    EXPECT_NE(printers.OpenPrinterW(name, &handle, nullptr), 0) << Utf16ToUtf8(name);
    EXPECT_NE(handle, 0);
    return handle;
  }

  // Learns the size, then fills a buffer of exactly that size.
  std::vector<unsigned char> Query(std::int32_t handle) {
    std::int32_t needed = 0;
    EXPECT_EQ(printers.GetPrinterA(handle, 2, nullptr, 0, &needed), 0);
    EXPECT_EQ(printers.LastDllError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(needed > 0 ? needed : 1));
    std::int32_t again = 0;
    EXPECT_NE(printers.GetPrinterA(handle, 2, buffer.data(), needed, &again), 0);
    EXPECT_EQ(again, needed);
    return buffer;
  }

  MemoryPrinters printers;
};

}  // namespace

TEST_F(PrinterServicesTest, CollectionListsInstalledPrintersInOrder) {
  printers.Add(u"Office");  // a second printer of the same name
  const PrinterCollection all = printers.Printers();
  ASSERT_EQ(all.Count(), 3);
  EXPECT_EQ(all.Item(0).DeviceName, u"Office");
  EXPECT_EQ(all.Item(1).DeviceName, u"Caf\u00E9");
  EXPECT_EQ(all.Item(2).DeviceName, u"Office");
  EXPECT_NE(all.Item(0).Id, all.Item(2).Id);
  EXPECT_THROW(all.Item(3), std::out_of_range);
  EXPECT_THROW(all.Item(-1), std::out_of_range);
}

TEST_F(PrinterServicesTest, QueryFillsTheLevel2Record) {
  const std::int32_t h = Open(u"Caf\u00E9");
  const auto bytes = Query(h);
  EXPECT_EQ(Word(bytes, 13), std::uint32_t(PRINTER_ATTRIBUTE_LOCAL));
  EXPECT_EQ(Word(bytes, 18), std::uint32_t(PRINTER_STATUS_PAUSED));
  EXPECT_EQ(ReadString(printers, Word(bytes, 1)), "Caf\xE9");
  EXPECT_EQ(ReadString(printers, Word(bytes, 5)), "Bar");
  EXPECT_EQ(Word(bytes, 6), 0u);  // no location
  // The buffer holds what the addresses point at.
  EXPECT_EQ(std::memcmp(bytes.data() + (Word(bytes, 5) - kBase), "Bar", 4), 0);
  EXPECT_NE(printers.ClosePrinter(h), 0);
}

TEST_F(PrinterServicesTest, OneHandleKeepsTheRecordOfItsFirstQuery) {
  const std::int32_t h = Open(u"Office");
  std::int32_t needed = 0;
  EXPECT_EQ(printers.GetPrinterA(h, 2, nullptr, 0, &needed), 0);
  // The printer changes between the two calls; the size learned still fits.
  printers.Installed[0].Info.Comment = std::string(500, 'x');
  std::vector<unsigned char> buffer(static_cast<std::size_t>(needed));
  ASSERT_NE(printers.GetPrinterA(h, 2, buffer.data(), needed, &needed), 0);
  EXPECT_EQ(static_cast<std::size_t>(needed), buffer.size());
  EXPECT_EQ(ReadString(printers, Word(buffer, 5)), "Front desk");
  EXPECT_EQ(printers.Queries, 1);
  EXPECT_NE(printers.ClosePrinter(h), 0);

  // A new handle sees the change.
  const std::int32_t fresh = Open(u"Office");
  EXPECT_EQ(ReadString(printers, Word(Query(fresh), 5)), std::string(500, 'x'));
  EXPECT_NE(printers.ClosePrinter(fresh), 0);
}

TEST_F(PrinterServicesTest, TooSmallBufferTellsTheSizeAndIsLeftAlone) {
  const std::int32_t h = Open(u"Office");
  const std::int32_t size = static_cast<std::int32_t>(Query(h).size());
  ASSERT_GT(size, kRecordHeaderBytes);

  std::vector<unsigned char> buffer(static_cast<std::size_t>(size), 0xAB);
  std::int32_t needed = 0;
  EXPECT_EQ(printers.GetPrinterA(h, 2, buffer.data(), size - 1, &needed), 0);
  EXPECT_EQ(needed, size);
  EXPECT_EQ(printers.LastDllError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(buffer, std::vector<unsigned char>(buffer.size(), 0xAB));
  // Without a place for the size the call still fails the same way.
  EXPECT_EQ(printers.GetPrinterA(h, 2, buffer.data(), 0, nullptr), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_NE(printers.ClosePrinter(h), 0);
}

TEST_F(PrinterServicesTest, SuccessfulCallsKeepTheLastError) {
  std::int32_t handle = 0;
  EXPECT_EQ(printers.OpenPrinterW(u"Nowhere", &handle, nullptr), 0);
  ASSERT_EQ(printers.LastDllError(), ERROR_INVALID_PRINTER_NAME);

  const std::int32_t h = Open(u"Office");
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_PRINTER_NAME);
  std::vector<unsigned char> buffer(4096);
  std::int32_t needed = 0;
  EXPECT_NE(printers.GetPrinterA(h, 2, buffer.data(), 4096, &needed), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_PRINTER_NAME);
  char c;
  printers.RtlMoveMemory(&c, static_cast<std::int32_t>(kBase), 1);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_PRINTER_NAME);
  EXPECT_NE(printers.ClosePrinter(h), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_PRINTER_NAME);
}

TEST_F(PrinterServicesTest, MemoryReadsSeeOnlyTheLastFilledRecord) {
  unsigned char before[8];
  std::memset(before, 0xAB, sizeof before);
  printers.RtlMoveMemory(before, static_cast<std::int32_t>(kBase), sizeof before);
  EXPECT_EQ(std::vector<unsigned char>(before, before + 8), std::vector<unsigned char>(8, 0))
      << "nothing is mapped before the first query";

  printers.Installed[0].Info.Comment = std::string(300, 'c');
  const std::int32_t big = Open(u"Office");
  const auto office = Query(big);
  const std::int32_t small = Open(u"Caf\u00E9");
  const auto cafe = Query(small);
  ASSERT_LT(cafe.size(), office.size());
  const auto end = static_cast<std::int32_t>(kBase + cafe.size());

  // Inside: the bytes of the last record, not the earlier one.
  std::vector<unsigned char> inside(cafe.size());
  printers.RtlMoveMemory(inside.data(), static_cast<std::int32_t>(kBase),
                         static_cast<std::int32_t>(inside.size()));
  EXPECT_EQ(inside, cafe);

  // Beyond its end (where the earlier, longer record had bytes): zeros.
  std::vector<unsigned char> beyond(16, 0xAB);
  printers.RtlMoveMemory(beyond.data(), end, 16);
  EXPECT_EQ(beyond, std::vector<unsigned char>(16, 0));

  // Straddling the end: the last four bytes, then zeros.
  std::vector<unsigned char> straddle(8, 0xAB);
  printers.RtlMoveMemory(straddle.data(), end - 4, 8);
  const std::vector<unsigned char> expected = {cafe[cafe.size() - 4],
                                               cafe[cafe.size() - 3],
                                               cafe[cafe.size() - 2],
                                               cafe[cafe.size() - 1],
                                               0,
                                               0,
                                               0,
                                               0};
  EXPECT_EQ(straddle, expected);

  // Straddling the start.
  std::vector<unsigned char> start(8, 0xAB);
  printers.RtlMoveMemory(start.data(), static_cast<std::int32_t>(kBase) - 4, 8);
  EXPECT_EQ(std::vector<unsigned char>(start.begin(), start.begin() + 4),
            std::vector<unsigned char>(4, 0));
  EXPECT_EQ(std::vector<unsigned char>(start.begin() + 4, start.end()),
            std::vector<unsigned char>(cafe.begin(), cafe.begin() + 4));

  // A failed query maps nothing new.
  std::int32_t needed = 0;
  EXPECT_EQ(printers.GetPrinterA(big, 2, nullptr, 0, &needed), 0);
  std::vector<unsigned char> again(cafe.size());
  printers.RtlMoveMemory(again.data(), static_cast<std::int32_t>(kBase),
                         static_cast<std::int32_t>(again.size()));
  EXPECT_EQ(again, cafe);

  EXPECT_NE(printers.ClosePrinter(big), 0);
  EXPECT_NE(printers.ClosePrinter(small), 0);
}

TEST_F(PrinterServicesTest, BadHandlesAndLevelsFail) {
  std::vector<unsigned char> buffer(4096);
  std::int32_t needed = -1;
  EXPECT_EQ(printers.GetPrinterA(0x7777, 2, buffer.data(), 4096, &needed), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(printers.ClosePrinter(0x7777), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_HANDLE);

  const std::int32_t h = Open(u"Office");
  for (std::int32_t level : {0, 1, 3, 4}) {
    EXPECT_EQ(printers.GetPrinterA(h, level, buffer.data(), 4096, &needed), 0) << level;
    EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_LEVEL) << level;
  }
  EXPECT_NE(printers.ClosePrinter(h), 0);
  // A closed handle is gone.
  EXPECT_EQ(printers.GetPrinterA(h, 2, buffer.data(), 4096, &needed), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(printers.ClosePrinter(h), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_HANDLE);

  std::int32_t handle = 0;
  EXPECT_EQ(printers.OpenPrinterW(nullptr, &handle, nullptr), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(printers.OpenPrinterW(u"Office", nullptr, nullptr), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_INVALID_PARAMETER);
}

TEST_F(PrinterServicesTest, HandlesAreDistinctAndCounted) {
  const std::int32_t a = Open(u"Office");
  const std::int32_t b = Open(u"Office");
  const std::int32_t c = Open(u"Caf\u00E9");
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_NE(a, c);
  EXPECT_EQ(printers.OpenHandleCount(), 3u);
  EXPECT_NE(printers.ClosePrinter(b), 0);
  EXPECT_EQ(printers.OpenHandleCount(), 2u);
  // The other handles still work.
  EXPECT_EQ(ReadString(printers, Word(Query(c), 1)), "Caf\xE9");
  EXPECT_NE(printers.ClosePrinter(a), 0);
  EXPECT_NE(printers.ClosePrinter(c), 0);
  EXPECT_EQ(printers.OpenHandleCount(), 0u);
}

TEST_F(PrinterServicesTest, PrinterThatCannotBeOpenedOrQueried) {
  printers.Installed[0].CannotOpen = true;
  std::int32_t handle = 0;
  EXPECT_EQ(printers.OpenPrinterW(u"Office", &handle, nullptr), 0);
  EXPECT_EQ(printers.LastDllError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(printers.OpenHandleCount(), 0u);

  printers.Installed[1].QueryFails = true;
  const std::int32_t h = Open(u"Caf\u00E9");
  std::vector<unsigned char> buffer(4096);
  std::int32_t needed = 0;
  EXPECT_EQ(printers.GetPrinterA(h, 2, buffer.data(), 4096, &needed), 0);
  EXPECT_EQ(printers.LastDllError(), RPC_S_SERVER_UNAVAILABLE);
  // A failed query takes no snapshot: once the printer answers, the same handle works.
  printers.Installed[1].QueryFails = false;
  EXPECT_NE(printers.GetPrinterA(h, 2, buffer.data(), 4096, &needed), 0);
  EXPECT_EQ(ReadString(printers, Word(buffer, 1)), "Caf\xE9");
  EXPECT_NE(printers.ClosePrinter(h), 0);
  EXPECT_EQ(printers.Opened, (std::vector<std::u16string>{u"Office", u"Caf\u00E9"}));
}

TEST_F(PrinterServicesTest, FaultHookMakesTheCallThrow) {
  std::string failing;
  printers.Fault = [&](const std::string& call) {
    if (call == failing) throw std::runtime_error(call + " failed");
  };

  failing = "Printers";
  EXPECT_THROW(printers.Printers(), std::runtime_error);

  failing = "OpenPrinterW";
  std::int32_t handle = 0;
  EXPECT_THROW(printers.OpenPrinterW(u"Office", &handle, nullptr), std::runtime_error);
  EXPECT_EQ(printers.OpenHandleCount(), 0u);

  failing = "GetPrinterA";
  const std::int32_t h = Open(u"Office");
  std::vector<unsigned char> buffer(4096);
  std::int32_t needed = 0;
  EXPECT_THROW(printers.GetPrinterA(h, 2, buffer.data(), 4096, &needed), std::runtime_error);
  EXPECT_EQ(printers.Queries, 0);

  failing = "RtlMoveMemory";
  char c;
  EXPECT_THROW(printers.RtlMoveMemory(&c, static_cast<std::int32_t>(kBase), 1), std::runtime_error);

  failing = "ClosePrinter";
  EXPECT_THROW(printers.ClosePrinter(h), std::runtime_error);
  EXPECT_EQ(printers.OpenHandleCount(), 1u);

  failing.clear();
  EXPECT_NE(printers.GetPrinterA(h, 2, buffer.data(), 4096, &needed), 0);
  EXPECT_NE(printers.ClosePrinter(h), 0);
  EXPECT_EQ(printers.Printers().Count(), 2);
}
