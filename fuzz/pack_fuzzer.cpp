// The record packer over arbitrary field sets: strings of 0 to 8 KiB,
// invalid UTF-8, embedded NULs, characters the code page lacks, numbers of
// every value, bases anywhere. What is packed must unpack as it went in,
// cut at its first NUL and converted to the code page, and the probe must
// read it back as such, cut at its 1024 bytes.
//
// Input: byte 0 holds flags (bit 0: UTF-8 rather than ISO-8859-1; bit 1: a
// base of its own in the next 4 bytes, else the record address); then ten
// 32-bit numbers (DevMode, SecurityDescriptor, Attributes, Priority,
// DefaultPriority, StartTime, UntilTime, Status, Jobs, AveragePPM); then the
// eleven strings in record order, each a tag byte (0: absent), a 16-bit
// length (modulo 8193) and a pattern length k: with k = 0 the string's bytes
// follow, else k bytes that are repeated up to the length. Numbers are
// little-endian; missing input reads as zeros and absent strings.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "MemoryPrinters.h"
#include "Module1.h"
#include "NoView.h"
#include "Record.h"
#include "Text.h"

using probe::testing::NoView;

namespace {

using printing::Record;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t Word() {
    std::uint32_t v = 0;
    for (int b = 0; b < 4; ++b) v |= std::uint32_t{Byte()} << (8 * b);
    return v;
  }
  bool Empty() const { return at_ >= size_; }
  std::string Bytes(std::size_t n) {
    n = std::min(n, size_ - std::min(at_, size_));
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "pack_fuzzer: %s\n", what);
    std::abort();
  }
}

std::uint32_t WordAt(const std::vector<unsigned char>& bytes, int index) {
  const std::size_t at = static_cast<std::size_t>(index) * 4;
  return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
         std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

// The text as the record carries it: in the code page, ending at its first NUL.
std::string Carried(const std::string& utf8) {
  std::string ansi = printing::Utf8ToAnsi(utf8);
  if (auto nul = ansi.find('\0'); nul != std::string::npos) ansi.resize(nul);
  return ansi;
}

// Characters, with a surrogate pair counted once.
std::size_t CodePoints(const std::u16string& s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++i, ++n)
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) ++i;
  return n;
}

bool Ascii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  const std::uint8_t flags = in.Byte();
  const bool utf8 = flags & 1;
  printing::SetAnsiCodePage(utf8 ? "UTF-8" : "ISO-8859-1");
  const std::uint32_t base = (flags & 2) ? in.Word() : printing::PrinterServices::kRecordAddress;

  Record r;
  std::int32_t* numbers[] = {&r.DevMode, &r.SecurityDescriptor, &r.Attributes, &r.Priority,
                             &r.DefaultPriority, &r.StartTime, &r.UntilTime, &r.Status,
                             &r.Jobs, &r.AveragePPM};
  const int number_words[] = {7, 12, 13, 14, 15, 16, 17, 18, 19, 20};
  for (std::int32_t* n : numbers) *n = static_cast<std::int32_t>(in.Word());
  std::optional<std::string>* strings[] = {&r.ServerName, &r.PrinterName, &r.ShareName,
                                           &r.PortName,   &r.DriverName,  &r.Comment,
                                           &r.Location,   &r.SepFile,     &r.PrintProcessor,
                                           &r.Datatype,   &r.Parameters};
  const int string_words[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11};
  for (std::optional<std::string>* s : strings) {
    if (in.Empty() || in.Byte() == 0) continue;
    const std::size_t length = (in.Byte() | std::size_t{in.Byte()} << 8) % 8193;
    const std::size_t k = in.Byte();
    std::string text;
    if (k == 0) {
      text = in.Bytes(length);
    } else {
      const std::string pattern = in.Bytes(k);
      while (!pattern.empty() && text.size() < length) text += pattern;
      text.resize(std::min(text.size(), length));
    }
    *s = std::move(text);
  }

  std::string carried[11];
  std::uint64_t expected_size = printing::kRecordHeaderBytes;
  for (int i = 0; i < 11; ++i) {
    if (!strings[i]->has_value()) continue;
    carried[i] = Carried(**strings[i]);
    expected_size += carried[i].size() + 1;
  }

  std::vector<unsigned char> bytes;
  try {
    bytes = printing::Pack(r, base);
  } catch (const std::length_error&) {
    Check(base + expected_size > 0x80000000u, "a record that fits was refused");
    return 0;
  }
  Check(base + expected_size <= 0x80000000u, "a record that does not fit was packed");
  Check(bytes.size() == expected_size, "wrong record size");

  for (int i = 0; i < 10; ++i)
    Check(WordAt(bytes, number_words[i]) == static_cast<std::uint32_t>(*numbers[i]),
          "a number is not in its word");
  for (int i = 0; i < 11; ++i) {
    const std::uint32_t address = WordAt(bytes, string_words[i]);
    if (!strings[i]->has_value()) {
      Check(address == 0, "an absent string has an address");
      continue;
    }
    Check(address >= base + printing::kRecordHeaderBytes && address < base + bytes.size(),
          "a string's address is outside the record");
    const std::size_t from = address - base;
    const void* nul = std::memchr(bytes.data() + from, 0, bytes.size() - from);
    Check(nul != nullptr, "a string has no NUL inside the record");
    const std::string packed(reinterpret_cast<const char*>(bytes.data() + from),
                             static_cast<const unsigned char*>(nul) - (bytes.data() + from));
    const std::string& original = **strings[i];
    Check(packed == carried[i], "a string does not unpack as packed");
    const std::string before_nul = original.substr(0, original.find('\0'));
    if (Ascii(original)) Check(packed == before_nul, "ASCII text changed");
    if (!utf8) Check(packed.size() == CodePoints(printing::Utf8ToUtf16(before_nul)),
                     "not one code page byte per character");
  }
  if (base != printing::PrinterServices::kRecordAddress) return 0;

  // The probe reads it back, each string cut at 1024 bytes.
  printing::MemoryPrinters printers;
  printers.Add(u"Office", r);
  NoView view;
  probe::Module1 module(printers, view);
  const std::u16string code = module.TestPrinter(u"Office");
  Check(code == ((r.Attributes & 0x400) ? u"NO" : u"YES"), "wrong verdict");
  Check(printers.OpenHandleCount() == 0, "a handle was left open");
  Check(module.BytesNeeded == static_cast<std::int32_t>(bytes.size()), "wrong size reported");
  const probe::PrinterInfo2& info = module.PrinterInfo;
  const std::u16string* decoded[] = {&info.ServerName, &info.PrinterName, &info.ShareName,
                                     &info.PortName,   &info.DriverName,  &info.Comment,
                                     &info.Location,   &info.SepFile,     &info.PrintProcessor,
                                     &info.Datatype,   &info.Parameters};
  for (int i = 0; i < 11; ++i) {
    const std::string read = carried[i].substr(0, 1024);
    Check(*decoded[i] == printing::AnsiToUtf16(read), "a string reads back wrongly");
    // Whole strings come back into the same code page bytes.
    if (carried[i].size() <= 1024)
      Check(printing::Utf16ToAnsi(*decoded[i]) == carried[i], "a string does not convert back");
    if (!utf8) Check(decoded[i]->size() == read.size(), "not one character per code page byte");
  }
  Check(info.pDevMode == r.DevMode && info.Attributes == r.Attributes && info.Status == r.Status &&
            info.cJobs == r.Jobs && info.AveragePPM == r.AveragePPM,
        "a number reads back wrongly");
  return 0;
}
