// The printer probe: finds a printer by device name, opens it, reads its
// level-2 description into InfoBuffer, decodes it, fills the technical view
// and returns a result code: "YES", "NO", "NOTFOUND", "CANNOTOPEN" or "PROBLEM".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "PrinterServices.h"

namespace probe {

// The technical view of the window: the list of raw words and the label with
// the attribute bit string.
class TechnicalView {
 public:
  virtual ~TechnicalView() = default;
  virtual void List1Clear() = 0;
  virtual void List1AddItem(const std::u16string& line) = 0;
  virtual void SetLabel1Caption(const std::u16string& caption) = 0;
};

// PRINTER_INFO_2, decoded from words 0 to 20 of InfoBuffer.
struct PrinterInfo2 {
  std::u16string ServerName;
  std::u16string PrinterName;
  std::u16string ShareName;
  std::u16string PortName;
  std::u16string DriverName;
  std::u16string Comment;
  std::u16string Location;
  std::int32_t pDevMode = 0;
  std::u16string SepFile;
  std::u16string PrintProcessor;
  std::u16string Datatype;
  std::u16string Parameters;
  std::int32_t pSecurityDescriptor = 0;
  std::int32_t Attributes = 0;
  std::int32_t Priority = 0;
  std::int32_t DefaultPriority = 0;
  std::int32_t StartTime = 0;
  std::int32_t UntilTime = 0;
  std::int32_t Status = 0;
  std::int32_t cJobs = 0;
  std::int32_t AveragePPM = 0;
};

class Module1 {
 public:
  Module1(printing::PrinterServices& services, TechnicalView& view)
      : services_(services), view_(view) {}

  // Tests the printer named `name` and returns its result code. A failure of
  // the printer services passes out as an exception; the printer is closed
  // again on every path.
  std::u16string TestPrinter(const std::u16string& name);

  // The text at `address` (a word of InfoBuffer), at most `maximum_length`
  // bytes, ending at its first NUL. Address 0 gives the empty text.
  std::u16string StringFromPointer(const std::int32_t& address, const std::int32_t& maximum_length);

  // Why the last test gave its result: one sentence of plain English, empty
  // before the first test.
  const std::u16string& Reason() const { return reason_; }

  // Module state, kept from one test to the next.
  std::vector<std::int32_t> InfoBuffer;
  std::int32_t BytesNeeded = 0;
  PrinterInfo2 PrinterInfo;
  printing::PrinterObject CurrentPrinter;
  std::int32_t OpenResult = 0;
  std::int32_t QueryResult = 0;
  std::int32_t WorkValue = 0;
  std::int32_t BitWeight = 0;
  std::u16string AttributeBits;

 private:
  // The test itself; TestPrinter adds why it gave its result.
  std::u16string Test(const std::u16string& name);

  printing::PrinterServices& services_;
  TechnicalView& view_;
  std::u16string reason_;
};

}  // namespace probe
