#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "Record.h"
#include "Text.h"

using namespace printing;

namespace {

constexpr std::uint32_t kBase = 0x00400000;

std::uint32_t Word(const std::vector<unsigned char>& bytes, int index) {
  const std::size_t at = static_cast<std::size_t>(index) * 4;
  return std::uint32_t{bytes.at(at)} | std::uint32_t{bytes.at(at + 1)} << 8 |
         std::uint32_t{bytes.at(at + 2)} << 16 | std::uint32_t{bytes.at(at + 3)} << 24;
}

// The string a word points at, read the way a caller holding only the 32-bit
// address would; nullopt for a 0 word.
std::optional<std::string> StringAt(const std::vector<unsigned char>& bytes, int index,
                                    std::uint32_t base = kBase) {
  const std::uint32_t address = Word(bytes, index);
  if (address == 0) return std::nullopt;
  EXPECT_GE(address, base + kRecordHeaderBytes) << "word " << index;
  EXPECT_LT(address, base + bytes.size()) << "word " << index;
  const std::size_t from = address - base;
  const void* nul = std::memchr(bytes.data() + from, 0, bytes.size() - from);
  if (nul == nullptr) {
    ADD_FAILURE() << "string of word " << index << " has no NUL inside the record";
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(bytes.data() + from),
                     static_cast<const unsigned char*>(nul) - (bytes.data() + from));
}

Record Full() {
  Record r;
  r.ServerName = "print-server";
  r.PrinterName = "Office";
  r.ShareName = "office";
  r.PortName = "socket://10.0.0.5:9100";
  r.DriverName = "Generic PCL";
  r.Comment = "Front desk";
  r.Location = "Room 101";
  r.DevMode = 0x11223344;
  r.SepFile = "sep";
  r.PrintProcessor = "winprint";
  r.Datatype = "RAW";
  r.Parameters = "p=1";
  r.SecurityDescriptor = 0x55;
  r.Attributes = 0x40 | 0x4;
  r.Priority = 1;
  r.DefaultPriority = 2;
  r.StartTime = 60;
  r.UntilTime = 1440;
  r.Status = -2;  // every bit but the lowest, to see all four bytes
  r.Jobs = 3;
  r.AveragePPM = 25;
  return r;
}

class PackTest : public ::testing::Test {
 protected:
  void SetUp() override { SetAnsiCodePage("ISO-8859-1"); }
  void TearDown() override { SetAnsiCodePage(""); }
};

}  // namespace

TEST_F(PackTest, NumbersStandInTheirWordsLittleEndian) {
  const auto bytes = Pack(Full(), kBase);
  EXPECT_EQ(Word(bytes, 7), 0x11223344u);
  EXPECT_EQ(bytes[28], 0x44);  // DevMode, lowest byte first
  EXPECT_EQ(bytes[31], 0x11);
  EXPECT_EQ(Word(bytes, 12), 0x55u);
  EXPECT_EQ(Word(bytes, 13), 0x44u);
  EXPECT_EQ(Word(bytes, 14), 1u);
  EXPECT_EQ(Word(bytes, 15), 2u);
  EXPECT_EQ(Word(bytes, 16), 60u);
  EXPECT_EQ(Word(bytes, 17), 1440u);
  EXPECT_EQ(Word(bytes, 18), 0xFFFFFFFEu);
  EXPECT_EQ(Word(bytes, 19), 3u);
  EXPECT_EQ(Word(bytes, 20), 25u);
}

TEST_F(PackTest, StringsDecodeBackThroughTheirAddresses) {
  const auto bytes = Pack(Full(), kBase);
  EXPECT_EQ(StringAt(bytes, 0), "print-server");
  EXPECT_EQ(StringAt(bytes, 1), "Office");
  EXPECT_EQ(StringAt(bytes, 2), "office");
  EXPECT_EQ(StringAt(bytes, 3), "socket://10.0.0.5:9100");
  EXPECT_EQ(StringAt(bytes, 4), "Generic PCL");
  EXPECT_EQ(StringAt(bytes, 5), "Front desk");
  EXPECT_EQ(StringAt(bytes, 6), "Room 101");
  EXPECT_EQ(StringAt(bytes, 8), "sep");
  EXPECT_EQ(StringAt(bytes, 9), "winprint");
  EXPECT_EQ(StringAt(bytes, 10), "RAW");
  EXPECT_EQ(StringAt(bytes, 11), "p=1");
  // Nothing but the header and the strings with their NULs.
  std::size_t strings = 0;
  for (int w : {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11}) strings += StringAt(bytes, w)->size() + 1;
  EXPECT_EQ(bytes.size(), kRecordHeaderBytes + strings);
}

TEST_F(PackTest, AddressesFollowTheBase) {
  const Record r = Full();
  const auto low = Pack(r, kBase);
  const auto high = Pack(r, 0x10000000);
  ASSERT_EQ(low.size(), high.size());
  EXPECT_EQ(Word(high, 1) - 0x10000000, Word(low, 1) - kBase);
  EXPECT_EQ(StringAt(high, 1, 0x10000000), "Office");
}

TEST_F(PackTest, AbsentStringIsZeroAndEmptyStringIsNot) {
  Record r;
  r.PrinterName = "Office";
  r.Comment = "";
  const auto bytes = Pack(r, kBase);
  EXPECT_EQ(Word(bytes, 0), 0u);
  EXPECT_EQ(Word(bytes, 6), 0u);
  EXPECT_EQ(StringAt(bytes, 1), "Office");
  EXPECT_NE(Word(bytes, 5), 0u);
  EXPECT_EQ(StringAt(bytes, 5), "");
  EXPECT_EQ(bytes.size(), kRecordHeaderBytes + 7u + 1u);

  const auto empty = Pack(Record{}, kBase);
  EXPECT_EQ(empty, std::vector<unsigned char>(kRecordHeaderBytes, 0));
}

TEST_F(PackTest, StringEndsAtAnEmbeddedNul) {
  Record r;
  r.Comment = std::string("ab\0cd", 5);
  const auto bytes = Pack(r, kBase);
  EXPECT_EQ(StringAt(bytes, 5), "ab");
  EXPECT_EQ(bytes.size(), kRecordHeaderBytes + 3u);
}

TEST_F(PackTest, StringsAreInTheAnsiCodePage) {
  Record r;
  r.Location = "Salle \xC3\xA9t\xC3\xA9 \xE2\x82\xAC";  // "Salle été €"
  const auto bytes = Pack(r, kBase);
  EXPECT_EQ(StringAt(bytes, 6), "Salle \xE9t\xE9 ?");
}

TEST_F(PackTest, EveryByteMustStandBelowTwoGigabytes) {
  constexpr std::uint32_t kTop = 0x80000000u;
  EXPECT_NO_THROW(Pack(Record{}, kTop - kRecordHeaderBytes));
  EXPECT_THROW(Pack(Record{}, kTop - kRecordHeaderBytes + 1), std::length_error);
  Record r;
  r.PrinterName = "ab";  // three bytes with its NUL
  const auto last = Pack(r, kTop - kRecordHeaderBytes - 3);
  EXPECT_EQ(Word(last, 1), kTop - 3);
  EXPECT_THROW(Pack(r, kTop - kRecordHeaderBytes - 2), std::length_error);
}
