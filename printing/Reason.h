// Why a test of a printer gave its result, in one sentence of plain English:
// from the result code, the attribute and status words of the printer's
// level-2 record, and what the printer layer learnt on the way (Findings).
// The same words on every platform; docs/devices.md shows the table.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "PrinterServices.h"

namespace printing {

// What a test read of a printer.
struct TestOutcome {
  std::u16string_view code;  // "YES", "NO", "NOTFOUND", "CANNOTOPEN" or "PROBLEM"
  std::string name;          // the printer's name, as it was asked for
  std::int32_t attributes = 0;
  std::int32_t status = 0;
  std::string port;          // the record's port name: a class's members, a pool's ports
};

// The sentence, in UTF-8; empty for a code that is none of the five.
std::string Reason(const TestOutcome& outcome, const Findings& findings);

}  // namespace printing
