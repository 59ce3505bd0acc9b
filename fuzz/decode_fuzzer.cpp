// The probe's decoding of a level-2 record over bytes that no packer made:
// words pointing anywhere, strings without a NUL, strings that run into the
// end of the record, records shorter than their 21 words.
//
// Input: byte 0 picks the code page (bit 0: ISO-8859-1 or UTF-8); byte 1 is
// a count of probes, each 9 bytes (a flag, a 32-bit address, a 32-bit
// length, little-endian; with the flag's bit 0 set the address is an offset
// from the record's address); the rest is the record as the printer's
// handle keeps it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "MemoryPrinters.h"
#include "Module1.h"
#include "Text.h"

namespace {

using printing::PrinterServices;
using printing::RawRecordPrinters;

struct NoView : probe::TechnicalView {
  int lines = 0;
  std::u16string label;
  void List1Clear() override { lines = 0; }
  void List1AddItem(const std::u16string&) override { ++lines; }
  void SetLabel1Caption(const std::u16string& caption) override { label = caption; }
};

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "decode_fuzzer: %s\n", what);
    std::abort();
  }
}

// What a reader of `record` at kRecordAddress finds at `address`: at most
// `length` bytes up to the first NUL, every byte outside the record a NUL.
std::u16string Expected(const std::vector<unsigned char>& record, std::int32_t address,
                        std::int32_t length) {
  if (address == 0 || length <= 0) return u"";
  std::string out;
  for (std::int64_t i = 0; i < length; ++i) {
    const std::int64_t at = std::int64_t{address} + i - PrinterServices::kRecordAddress;
    if (at < 0 || at >= static_cast<std::int64_t>(record.size())) break;
    const char c = static_cast<char>(record[static_cast<std::size_t>(at)]);
    if (c == '\0') break;
    out += c;
  }
  return printing::AnsiToUtf16(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  printing::SetAnsiCodePage((data[0] & 1) ? "UTF-8" : "ISO-8859-1");
  std::size_t probes = data[1] % 16;
  std::size_t at = 2;
  struct Probe {
    std::int32_t address, length;
  };
  std::vector<Probe> wanted;
  for (; probes > 0 && at + 9 <= size; --probes, at += 9) {
    std::uint32_t address = Le32(data + at + 1);
    if (data[at] & 1) address = PrinterServices::kRecordAddress + (address & 0xFFFF);
    // Lengths up to 16 KiB: the probe asks for 1024, more only costs memory.
    const auto length = static_cast<std::int32_t>(Le32(data + at + 5) % 16384) - 16;
    wanted.push_back({static_cast<std::int32_t>(address), length});
  }

  RawRecordPrinters printers;
  printers.Bytes.assign(data + at, data + size);
  printers.Add(u"Office");
  NoView view;
  probe::Module1 module(printers, view);

  std::u16string code;
  try {
    code = module.TestPrinter(u"Office");
  } catch (const std::exception&) {
    // A record shorter than its words passes out as a failure; the window
    // shows it as a problem.
    code = u"PROBLEM";
  }
  Check(printers.OpenHandleCount() == 0, "a handle was left open");
  Check(code == u"YES" || code == u"NO" || code == u"PROBLEM", "unexpected result code");
  const auto& bytes = printers.Bytes;
  Check(module.BytesNeeded == static_cast<std::int32_t>(bytes.size()), "wrong size reported");
  if (code != u"PROBLEM") {
    // The buffer holds the record; words that a short record lacks read as 0.
    const auto* buffer = reinterpret_cast<const unsigned char*>(module.InfoBuffer.data());
    Check(module.InfoBuffer.size() >= 21, "fewer than 21 words decoded");
    Check(bytes.empty() || std::memcmp(buffer, bytes.data(), bytes.size()) == 0,
          "the buffer differs from the record");
    for (std::size_t i = bytes.size(); i < 84; ++i) Check(buffer[i] == 0, "a missing word is not 0");
    const auto& w = module.InfoBuffer;
    const probe::PrinterInfo2& info = module.PrinterInfo;
    const std::u16string* strings[] = {&info.ServerName, &info.PrinterName, &info.ShareName,
                                       &info.PortName,   &info.DriverName,  &info.Comment,
                                       &info.Location,   nullptr,           &info.SepFile,
                                       &info.PrintProcessor, &info.Datatype, &info.Parameters};
    for (std::size_t i = 0; i < 12; ++i) {
      if (strings[i] == nullptr) continue;
      Check(*strings[i] == Expected(bytes, w[i], 1024), "a string decoded wrongly");
      Check(strings[i]->size() <= 1024, "a string longer than 1024");
    }
    Check(info.Attributes == w[13] && info.Status == w[18] && info.AveragePPM == w[20],
          "a number decoded wrongly");
    Check(view.lines == 21, "not 21 lines listed");
    std::u16string bits;
    for (int b = 12; b >= 0; --b) bits += (w[13] >> b & 1) ? u'1' : u'0';
    Check(view.label == bits, "wrong bit string");
    Check(code == ((w[13] & 0x400) ? u"NO" : u"YES"), "verdict does not follow the work-offline bit");
  }

  // Reads anywhere, of any length, with the record in the window: the last
  // query filled a buffer, so the record is what RtlMoveMemory maps.
  Check(module.QueryResult != 0, "the record was never mapped");
  for (const Probe& p : wanted)
    Check(module.StringFromPointer(p.address, p.length) == Expected(bytes, p.address, p.length),
          "StringFromPointer read something else");
  return 0;
}
