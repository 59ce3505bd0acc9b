#include "Record.h"

#include <algorithm>
#include <stdexcept>

#include "Text.h"

namespace printing {
namespace {

void PutWord(std::vector<unsigned char>& out, std::size_t word, std::uint32_t value) {
  for (int b = 0; b < 4; ++b) out[word * 4 + b] = static_cast<unsigned char>(value >> (8 * b));
}

}  // namespace

std::vector<unsigned char> Pack(const Record& r, std::uint32_t base) {
  const std::optional<std::string>* strings[kRecordWords] = {
      &r.ServerName, &r.PrinterName, &r.ShareName, &r.PortName, &r.DriverName, &r.Comment,
      &r.Location,   nullptr,        &r.SepFile,   &r.PrintProcessor, &r.Datatype, &r.Parameters};
  const std::int32_t numbers[kRecordWords] = {
      0, 0, 0, 0, 0, 0, 0, r.DevMode, 0, 0, 0, 0, r.SecurityDescriptor, r.Attributes,
      r.Priority, r.DefaultPriority, r.StartTime, r.UntilTime, r.Status, r.Jobs, r.AveragePPM};

  // Every byte of the record must have an address below 2^31.
  constexpr std::uint64_t kLimit = 0x80000000u;
  if (std::uint64_t{base} + kRecordHeaderBytes > kLimit)
    throw std::length_error("printer record too large for a 32-bit address window");

  std::vector<unsigned char> out(kRecordHeaderBytes, 0);
  for (std::size_t word = 0; word < kRecordWords; ++word) {
    const auto* text = strings[word];
    if (text == nullptr || !text->has_value()) {
      PutWord(out, word, static_cast<std::uint32_t>(numbers[word]));
      continue;
    }
    std::string bytes = Utf8ToAnsi(**text);
    // A NUL inside the text would end it early for every reader; the packed
    // string ends there too, so that the size reported matches what is read.
    if (auto nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
    const std::uint64_t address = std::uint64_t{base} + out.size();
    if (address + bytes.size() + 1 > kLimit)
      throw std::length_error("printer record too large for a 32-bit address window");
    PutWord(out, word, static_cast<std::uint32_t>(address));
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.push_back(0);
  }
  return out;
}

std::vector<std::string> PortNames(std::string_view port_name) {
  std::vector<std::string> ports;
  for (std::size_t at = 0; at <= port_name.size();) {
    const std::size_t comma = std::min(port_name.find(',', at), port_name.size());
    const std::string_view part = port_name.substr(at, comma - at);
    if (const auto first = part.find_first_not_of(' '); first != std::string_view::npos)
      ports.emplace_back(part.substr(first, part.find_last_not_of(' ') - first + 1));
    at = comma + 1;
  }
  return ports;
}

}  // namespace printing
