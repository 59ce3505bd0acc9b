#include "CupsStatus.h"

#include <string>

#include "SpoolerCodes.h"

namespace printing {

std::int32_t Integer(ipp_t* response, const char* name, std::int32_t otherwise) {
  ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
  if (attr == nullptr || ippGetCount(attr) < 1) return otherwise;
  const ipp_tag_t tag = ippGetValueTag(attr);
  if (tag != IPP_TAG_INTEGER && tag != IPP_TAG_ENUM) return otherwise;
  return ippGetInteger(attr, 0);
}

bool Boolean(ipp_t* response, const char* name, bool otherwise) {
  ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_BOOLEAN);
  if (attr == nullptr || ippGetCount(attr) < 1) return otherwise;
  return ippGetBoolean(attr, 0) != 0;
}

// Status bits from printer-state and printer-state-reasons.
std::int32_t StatusBits(ipp_t* response) {
  std::int32_t status = 0;
  const std::int32_t state = Integer(response, "printer-state", IPP_PSTATE_IDLE);
  if (state == IPP_PSTATE_PROCESSING) status |= PRINTER_STATUS_PRINTING;
  if (state == IPP_PSTATE_STOPPED) status |= PRINTER_STATUS_PAUSED;
  ipp_attribute_t* reasons = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD);
  for (int i = 0; reasons != nullptr && i < ippGetCount(reasons); ++i) {
    const char* value = ippGetString(reasons, i, nullptr);
    if (value == nullptr) continue;
    std::string reason = value;
    for (const char* suffix : {"-error", "-warning", "-report"}) {
      const std::string s = suffix;
      if (reason.size() > s.size() && reason.compare(reason.size() - s.size(), s.size(), s) == 0) {
        if (s == "-error") status |= PRINTER_STATUS_ERROR;
        reason.resize(reason.size() - s.size());
        break;
      }
    }
    if (reason == "offline") status |= PRINTER_STATUS_OFFLINE;
    else if (reason == "paused") status |= PRINTER_STATUS_PAUSED;
    else if (reason == "media-empty" || reason == "media-needed") status |= PRINTER_STATUS_PAPER_OUT;
    else if (reason == "media-jam") status |= PRINTER_STATUS_PAPER_JAM;
    else if (reason == "door-open" || reason == "cover-open") status |= PRINTER_STATUS_DOOR_OPEN;
    else if (reason == "toner-low") status |= PRINTER_STATUS_TONER_LOW;
    else if (reason == "toner-empty") status |= PRINTER_STATUS_NO_TONER;
  }
  return status;
}

std::int32_t PrinterState(ipp_t* response) { return Integer(response, "printer-state", IPP_PSTATE_IDLE); }

bool IsAcceptingJobs(ipp_t* response) { return Boolean(response, "printer-is-accepting-jobs", true); }

const char* NoPassword(const char*, http_t*, const char*, const char*, void*) { return nullptr; }

}  // namespace printing
