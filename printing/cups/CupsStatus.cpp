#include "CupsStatus.h"

#include <string>
#include <vector>

#include "DeviceStatus.h"

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
  std::vector<std::string> reasons;
  ipp_attribute_t* attr = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD);
  for (int i = 0; attr != nullptr && i < ippGetCount(attr); ++i)
    if (const char* reason = ippGetString(attr, i, nullptr)) reasons.emplace_back(reason);
  return StatusBits(PrinterState(response), reasons);
}

std::int32_t PrinterState(ipp_t* response) { return Integer(response, "printer-state", IPP_PSTATE_IDLE); }

bool IsAcceptingJobs(ipp_t* response) { return Boolean(response, "printer-is-accepting-jobs", true); }

IppAnswer AnswerOf(ipp_t* response) {
  IppAnswer answer;
  answer.status_code = static_cast<std::uint16_t>(ippGetStatusCode(response));
  if (ipp_attribute_t* state = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM); state != nullptr)
    answer.state = ippGetInteger(state, 0);
  ipp_attribute_t* reasons = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD);
  for (int i = 0; reasons != nullptr && i < ippGetCount(reasons) && answer.reasons.size() < kIppMaxReasons; ++i)
    if (const char* reason = ippGetString(reasons, i, nullptr)) answer.reasons.emplace_back(reason);
  if (ipp_attribute_t* accepting = ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
      accepting != nullptr)
    answer.accepting = ippGetBoolean(accepting, 0) != 0;
  answer.supplies = Supplies(response);
  return answer;
}

std::vector<Supply> Supplies(ipp_t* response) {
  SupplyAttributes a;
  const auto texts = [&](const char* name, std::vector<std::string>& out) {
    ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
    for (int i = 0; attr != nullptr && i < ippGetCount(attr) && out.size() < kMaxSupplies; ++i) {
      if (ippGetValueTag(attr) == IPP_TAG_STRING) {
        int length = 0;
        const void* bytes = ippGetOctetString(attr, i, &length);
        out.emplace_back(static_cast<const char*>(bytes), bytes != nullptr ? static_cast<std::size_t>(length) : 0);
      } else if (const char* value = ippGetString(attr, i, nullptr)) {
        out.emplace_back(value);
      }
    }
  };
  const auto numbers = [&](const char* name, std::vector<std::int32_t>& out) {
    ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_INTEGER);
    for (int i = 0; attr != nullptr && i < ippGetCount(attr) && out.size() < kMaxSupplies; ++i)
      out.push_back(ippGetInteger(attr, i));
  };
  texts("marker-names", a.names);
  texts("marker-types", a.types);
  numbers("marker-levels", a.levels);
  numbers("marker-low-levels", a.lows);
  texts("printer-supply", a.supply);
  texts("printer-supply-description", a.descriptions);
  return SuppliesOf(a);
}

const char* NoPassword(const char*, http_t*, const char*, const char*, void*) { return nullptr; }

}  // namespace printing
