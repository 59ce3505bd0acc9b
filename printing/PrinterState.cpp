#include "PrinterState.h"

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

std::int32_t WithSpoolerStatus(std::int32_t attributes, std::int32_t status) {
  return (status & kCannotPrintStatus) != 0 ? attributes | PRINTER_ATTRIBUTE_WORK_OFFLINE : attributes;
}

void AddDeviceState(const DeviceState& device, std::int32_t& attributes, std::int32_t& status) {
  if (device.kind == DeviceState::Unreachable) {
    attributes |= PRINTER_ATTRIBUTE_WORK_OFFLINE;
    status |= PRINTER_STATUS_OFFLINE;
  } else if (device.kind == DeviceState::Reachable && device.has_state) {
    status |= device.status;
    if (device.stopped || !device.accepting || (device.status & PRINTER_STATUS_OFFLINE) != 0)
      attributes |= PRINTER_ATTRIBUTE_WORK_OFFLINE;
  }
}

bool Ready(const DeviceState& device) {
  std::int32_t attributes = 0, status = 0;
  AddDeviceState(device, attributes, status);
  return device.kind == DeviceState::Reachable && (attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) == 0;
}

}  // namespace printing
