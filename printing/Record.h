// The level-2 description of a printer (PRINTER_INFO_2) and its packed form:
// 21 little-endian 32-bit words as laid out for 32-bit addresses, followed by
// the strings in the ANSI code page, each NUL-terminated. A string word holds
// the 32-bit address of its string, or 0 for an absent string.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace printing {

inline constexpr std::int32_t kRecordWords = 21;
inline constexpr std::int32_t kRecordHeaderBytes = kRecordWords * 4;

struct Record {
  // Strings are UTF-8; the packer converts them to the ANSI code page.
  std::optional<std::string> ServerName;
  std::optional<std::string> PrinterName;
  std::optional<std::string> ShareName;
  std::optional<std::string> PortName;
  std::optional<std::string> DriverName;
  std::optional<std::string> Comment;
  std::optional<std::string> Location;
  std::int32_t DevMode = 0;
  std::optional<std::string> SepFile;
  std::optional<std::string> PrintProcessor;
  std::optional<std::string> Datatype;
  std::optional<std::string> Parameters;
  std::int32_t SecurityDescriptor = 0;
  std::int32_t Attributes = 0;
  std::int32_t Priority = 0;
  std::int32_t DefaultPriority = 0;
  std::int32_t StartTime = 0;
  std::int32_t UntilTime = 0;
  std::int32_t Status = 0;
  std::int32_t Jobs = 0;
  std::int32_t AveragePPM = 0;
};

// The ports a port name lists: a printer pool's (a CUPS class's members)
// separated by commas, each without the spaces around it; none empty.
std::vector<std::string> PortNames(std::string_view port_name);

// Packs `record` as it would stand at 32-bit address `base`. Throws
// std::length_error when the packed record would not fit below 2^31.
std::vector<unsigned char> Pack(const Record& record, std::uint32_t base);

}  // namespace printing
