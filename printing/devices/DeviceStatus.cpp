#include "DeviceStatus.h"

#include <algorithm>
#include <optional>

#include "DeviceCheck.h"

namespace printing {
namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

struct Reason {
  std::string_view keyword;
  std::int32_t status;
};

constexpr Reason kReasons[] = {
    {"offline", PRINTER_STATUS_OFFLINE},       {"paused", PRINTER_STATUS_PAUSED},
    {"media-empty", PRINTER_STATUS_PAPER_OUT}, {"media-needed", PRINTER_STATUS_PAPER_OUT},
    {"media-jam", PRINTER_STATUS_PAPER_JAM},   {"door-open", PRINTER_STATUS_DOOR_OPEN},
    {"cover-open", PRINTER_STATUS_DOOR_OPEN},  {"toner-low", PRINTER_STATUS_TONER_LOW},
    {"toner-empty", PRINTER_STATUS_NO_TONER},
};

// hrPrinterDetectedErrorState's bits, by their number in RFC 2790, and the
// spooler's bit for each (docs/devices.md shows this table).
struct ErrorBit {
  int bit;
  std::int32_t status;
};
// clang-format off
constexpr ErrorBit kErrorBits[] = {
    {0,  PRINTER_STATUS_PAPER_PROBLEM},     // lowPaper
    {1,  PRINTER_STATUS_PAPER_OUT},         // noPaper
    {2,  PRINTER_STATUS_TONER_LOW},         // lowToner
    {3,  PRINTER_STATUS_NO_TONER},          // noToner
    {4,  PRINTER_STATUS_DOOR_OPEN},         // doorOpen
    {5,  PRINTER_STATUS_PAPER_JAM},         // jammed
    {6,  PRINTER_STATUS_OFFLINE},           // offline
    {7,  PRINTER_STATUS_USER_INTERVENTION}, // serviceRequested
    {8,  PRINTER_STATUS_PAPER_PROBLEM},     // inputTrayMissing
    {9,  PRINTER_STATUS_OUTPUT_BIN_FULL},   // outputTrayMissing
    {10, PRINTER_STATUS_NO_TONER},          // markerSupplyMissing
    {12, PRINTER_STATUS_OUTPUT_BIN_FULL},   // outputFull
    {13, PRINTER_STATUS_PAPER_OUT},         // inputTrayEmpty
    {14, PRINTER_STATUS_USER_INTERVENTION}, // overduePreventMaint
};
// clang-format on

}  // namespace

std::int32_t StateStatus(std::int32_t printer_state) {
  if (printer_state == kIppProcessing) return PRINTER_STATUS_PRINTING;
  if (printer_state == kIppStopped) return PRINTER_STATUS_PAUSED;
  return 0;
}

std::int32_t ReasonStatus(std::string_view reason) {
  std::int32_t status = 0;
  for (std::string_view suffix : {"-error", "-warning", "-report"}) {
    if (EndsWith(reason, suffix)) {
      if (suffix == "-error") status |= PRINTER_STATUS_ERROR;
      reason.remove_suffix(suffix.size());
      break;
    }
  }
  for (const Reason& r : kReasons)
    if (reason == r.keyword) status |= r.status;
  return status;
}

std::int32_t StatusBits(std::int32_t printer_state, const std::vector<std::string>& reasons) {
  std::int32_t status = StateStatus(printer_state);
  for (const std::string& reason : reasons) status |= ReasonStatus(reason);
  return status;
}

std::int32_t HostStatusBits(const HostPrinterStatus& word) {
  std::int32_t status = 0;
  if (word.device_status == kHrDeviceDown) status |= PRINTER_STATUS_ERROR;
  if (word.printer_status == kHrPrinterPrinting) status |= PRINTER_STATUS_PRINTING;
  if (word.printer_status == kHrPrinterWarmup) status |= PRINTER_STATUS_WARMING_UP;
  for (const ErrorBit& e : kErrorBits)
    if (word.errors & (1u << e.bit)) status |= e.status;
  return status;
}

void AddHostWord(DeviceState& device, const HostPrinterStatus& word) {
  device.has_state = true;
  device.from_agent = true;
  device.status |= HostStatusBits(word);
  // Down keeps it from printing, as a stopped printer; the offline bit says
  // so in the status bits.
  device.stopped = device.stopped || word.device_status == kHrDeviceDown;
}

bool SaysItCannotPrint(const DeviceState& device) {
  return device.kind == DeviceState::Reachable && device.has_state &&
         (device.stopped || !device.accepting || (device.status & PRINTER_STATUS_OFFLINE) != 0);
}

namespace {

int KnownLevel(std::int64_t level) { return level >= -3 && level <= 100 ? static_cast<int>(level) : -2; }

// The value of `key` in a printer-supply value ("key=value;..."), or nothing.
std::optional<std::string_view> SupplyField(std::string_view value, std::string_view key) {
  while (!value.empty()) {
    const std::string_view field = value.substr(0, value.find(';'));
    value.remove_prefix(std::min(value.size(), field.size() + 1));
    if (field.size() > key.size() && field.substr(0, key.size()) == key && field[key.size()] == '=')
      return field.substr(key.size() + 1);
  }
  return std::nullopt;
}

std::optional<std::int64_t> Number(std::optional<std::string_view> text) {
  if (!text || text->empty() || text->size() > 12) return std::nullopt;
  std::int64_t value = 0;
  bool negative = (*text)[0] == '-';
  for (std::size_t i = negative ? 1 : 0; i < text->size(); ++i) {
    const char c = (*text)[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

// One printer-supply value, as the Printer MIB's supplies table says it.
Supply FromPrinterSupply(std::string_view value, std::string_view description) {
  Supply supply;
  const std::string_view type = SupplyField(value, "type").value_or("");
  supply.name = SupplyName(description.empty() ? type : description);
  supply.fills = SupplyField(value, "class") == "receptacleThatIsFilled";
  const std::int64_t level = Number(SupplyField(value, "level")).value_or(-2);
  const std::int64_t capacity = Number(SupplyField(value, "maxcapacity")).value_or(-2);
  if (level < 0) {
    supply.level = KnownLevel(level);
  } else if (capacity > 0 && level <= capacity) {
    const int percent = static_cast<int>(level * 100 / capacity);
    supply.level = supply.fills ? 100 - percent : percent;
  }
  return supply;
}

}  // namespace

std::vector<Supply> SuppliesOf(const SupplyAttributes& a) {
  std::vector<Supply> supplies;
  if (!a.names.empty()) {
    for (std::size_t i = 0; i < a.names.size() && i < kMaxSupplies; ++i) {
      Supply s;
      const std::string type = i < a.types.size() ? a.types[i] : "";
      s.name = SupplyName(a.names[i].empty() ? type : a.names[i]);
      s.fills = type.rfind("waste", 0) == 0;
      s.level = i < a.levels.size() ? KnownLevel(a.levels[i]) : -2;
      s.mark = i < a.lows.size() && a.lows[i] >= 0 && a.lows[i] <= 100 ? a.lows[i] : -1;
      supplies.push_back(std::move(s));
    }
    return supplies;
  }
  for (std::size_t i = 0; i < a.supply.size() && i < kMaxSupplies; ++i)
    supplies.push_back(FromPrinterSupply(a.supply[i], i < a.descriptions.size() ? a.descriptions[i] : ""));
  return supplies;
}

bool Ready(const DeviceState& device) { return device.kind == DeviceState::Reachable && !SaysItCannotPrint(device); }

}  // namespace printing
