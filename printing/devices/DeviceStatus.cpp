#include "DeviceStatus.h"

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

bool Ready(const DeviceState& device) { return device.kind == DeviceState::Reachable && !SaysItCannotPrint(device); }

}  // namespace printing
