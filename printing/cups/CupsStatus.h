// What the scheduler and device code share: reading a printer's state from
// an IPP answer, the scheduler's or a device's alike, and the password
// callback.
#pragma once
#include <cups/http.h>
#include <cups/ipp.h>

#include <cstdint>
#include <vector>

#include "IppMessage.h"

namespace printing {

// The integer or enum attribute `name`, else `otherwise`.
std::int32_t Integer(ipp_t* response, const char* name, std::int32_t otherwise = 0);
// The boolean attribute `name`, else `otherwise`.
bool Boolean(ipp_t* response, const char* name, bool otherwise);

// PRINTER_STATUS_* bits from printer-state and printer-state-reasons.
std::int32_t StatusBits(ipp_t* response);
// printer-state, idle when it is missing.
std::int32_t PrinterState(ipp_t* response);
// printer-is-accepting-jobs, true when it is missing.
bool IsAcceptingJobs(ipp_t* response);

// What the answer says of the printer, as IppAnswer holds it.
IppAnswer AnswerOf(ipp_t* response);
// What the answer says of the printer's supplies (SuppliesOf).
std::vector<Supply> Supplies(ipp_t* response);

// A password callback for cupsSetPasswordCB2 that never asks anyone: the
// program has nobody to ask, and a peer that wants a password has answered.
const char* NoPassword(const char* prompt, http_t* http, const char* method, const char* resource,
                       void* user_data);

}  // namespace printing
