#include "Module1.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "Reason.h"
#include "Text.h"

namespace probe {
namespace {

std::u16string Decimal(std::int32_t value) {
  std::u16string out;
  for (char c : std::to_string(value)) out += static_cast<char16_t>(c);
  return out;
}

// x rounded to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double x) {
  const double lower = std::floor(x);
  const double fraction = x - lower;
  if (fraction > 0.5) return lower + 1;
  if (fraction < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

// Closes an opened printer when the test leaves, whatever way it leaves.
class OpenPrinter {
 public:
  OpenPrinter(printing::PrinterServices& services, std::int32_t handle)
      : services_(services), handle_(handle) {}
  OpenPrinter(const OpenPrinter&) = delete;
  OpenPrinter& operator=(const OpenPrinter&) = delete;
  ~OpenPrinter() {
    if (!open_) return;
    try {
      services_.ClosePrinter(handle_);
    } catch (...) {
      // Already leaving on a failure; that one is the one to report.
    }
  }
  void Close() {
    open_ = false;
    services_.ClosePrinter(handle_);
  }

 private:
  printing::PrinterServices& services_;
  std::int32_t handle_;
  bool open_ = true;
};

constexpr std::int32_t kTextLength = 1024;
constexpr std::int32_t kListedWords = 21;
constexpr std::int32_t kAttributeWord = 13;

}  // namespace

std::u16string Module1::StringFromPointer(const std::int32_t& address,
                                          const std::int32_t& maximum_length) {
  if (address == 0 || maximum_length <= 0) return u"";
  std::string area = printing::Utf16ToAnsi(std::u16string(static_cast<std::size_t>(maximum_length), u' '));
  area.resize(static_cast<std::size_t>(maximum_length), ' ');
  services_.RtlMoveMemory(area.data(), address, maximum_length);
  if (auto nul = area.find('\0'); nul != std::string::npos) area.resize(nul);
  return printing::AnsiToUtf16(area);
}

std::u16string Module1::TestPrinter(const std::u16string& name) {
  reason_.clear();
  const std::u16string result = Test(name);
  const bool read = result == u"YES" || result == u"NO";
  const printing::TestOutcome outcome{result, printing::Utf16ToUtf8(name), read ? PrinterInfo.Attributes : 0,
                                      read ? PrinterInfo.Status : 0,
                                      read ? printing::Utf16ToUtf8(PrinterInfo.PortName) : std::string()};
  reason_ = printing::Utf8ToUtf16(printing::Reason(outcome, services_.LastFindings()));
  return result;
}

std::u16string Module1::Test(const std::u16string& name) {
  std::u16string result = u"NO";
  const std::u16string printer_name = name;

  // Lookup: every printer is visited; with several of one name the last stays current.
  for (const printing::PrinterObject& printer : services_.Printers()) {
    CurrentPrinter = printer;
    if (CurrentPrinter.DeviceName == printer_name) {
      services_.SetPrinter(CurrentPrinter);
      result = u"FOUND";
    }
  }
  if (result == u"NO") return u"NOTFOUND";

  OpenResult = 0;
  result = u"NO";
  std::int32_t handle = 0;
  OpenResult = services_.OpenPrinterW(printer_name.c_str(), &handle, nullptr);
  if (OpenResult == 0) return u"CANNOTOPEN";
  OpenPrinter opened(services_, handle);

  // Sizing query: only BytesNeeded is wanted from it.
  InfoBuffer.resize(2);
  QueryResult = services_.GetPrinterA(handle, 2, InfoBuffer.data(), 1, &BytesNeeded);

  const double upper = RoundHalfEven(BytesNeeded / 4.0 + 3);
  if (upper < 0) throw std::length_error("negative size for the printer record buffer");
  if (upper * 4 > std::numeric_limits<std::int32_t>::max())
    throw std::overflow_error("printer record buffer size overflows");
  const auto words = static_cast<std::int32_t>(upper);
  InfoBuffer.resize(static_cast<std::size_t>(words) + 1);
  QueryResult = services_.GetPrinterA(handle, 2, InfoBuffer.data(), words * 4, &BytesNeeded);
  if (QueryResult == 0) {
    opened.Close();
    return u"PROBLEM";
  }

  // Decode words 0 to 20.
  std::int32_t length = kTextLength;
  auto text = [&](std::size_t word) {
    length = kTextLength;
    return StringFromPointer(InfoBuffer.at(word), length);
  };
  PrinterInfo2 info;
  info.ServerName = text(0);
  info.PrinterName = text(1);
  info.ShareName = text(2);
  info.PortName = text(3);
  info.DriverName = text(4);
  info.Comment = text(5);
  info.Location = text(6);
  info.pDevMode = InfoBuffer.at(7);
  info.SepFile = text(8);
  info.PrintProcessor = text(9);
  info.Datatype = text(10);
  info.Parameters = text(11);
  info.pSecurityDescriptor = InfoBuffer.at(12);
  info.Attributes = InfoBuffer.at(13);
  info.Priority = InfoBuffer.at(14);
  info.DefaultPriority = InfoBuffer.at(15);
  info.StartTime = InfoBuffer.at(16);
  info.UntilTime = InfoBuffer.at(17);
  info.Status = InfoBuffer.at(18);
  info.cJobs = InfoBuffer.at(19);
  info.AveragePPM = InfoBuffer.at(20);
  PrinterInfo = std::move(info);

  // The bit string of the attribute word's low 13 bits, most significant
  // first, then the verdict from its third digit, the work-offline bit.
  auto bits_and_verdict = [&] {
    WorkValue = InfoBuffer.at(kAttributeWord) & 0x1FFF;
    AttributeBits.clear();
    BitWeight = 4096;
    while (true) {
      if (WorkValue < BitWeight) {
        AttributeBits += u'0';
      } else {
        AttributeBits += u'1';
        WorkValue -= BitWeight;
      }
      if (BitWeight == 1) break;
      BitWeight /= 2;
    }
    view_.SetLabel1Caption(AttributeBits);
    if (AttributeBits[2] == u'0') result = u"YES";
    else if (AttributeBits[2] == u'1') result = u"NO";
  };

  view_.List1Clear();
  // A failure from here on continues at the bit string, once; lines already
  // listed stay. A second failure passes out.
  bool resume = false;
  try {
    WorkValue = 0;
    while (WorkValue != kListedWords) {
      view_.List1AddItem(u"Buffer No. " + Decimal(WorkValue) + u"  Buffer Value " +
                         Decimal(InfoBuffer.at(static_cast<std::size_t>(WorkValue))));
      ++WorkValue;
    }
    bits_and_verdict();
  } catch (...) {
    resume = true;
  }
  if (resume) bits_and_verdict();

  opened.Close();
  return result;
}

}  // namespace probe
