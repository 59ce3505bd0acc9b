// The printer backend over the Windows spooler (winspool): its local printers
// and connections, opened and described by the spooler itself. The level-2
// record comes from the real GetPrinterA and is packed again into the 32-bit
// layout, since a 64-bit spooler's record holds 8-byte pointers.
#pragma once
#include <chrono>
#include <map>

#include "Bounded.h"
#include "PrinterServices.h"

namespace printing {

class WinspoolPrinters : public PrinterServices {
 public:
  // Longest wait for the spooler to list its printers, and for each other
  // call (open, query, close). A call that takes longer fails with
  // ERROR_TIMEOUT, and a list that takes longer is empty.
  static constexpr std::chrono::milliseconds kListTimeout{2000};
  static constexpr std::chrono::milliseconds kCallTimeout{2000};

  WinspoolPrinters() = default;
  WinspoolPrinters(const WinspoolPrinters&) = delete;
  WinspoolPrinters& operator=(const WinspoolPrinters&) = delete;
  // Closes the spooler handles still open, and waits for the calls it gave
  // up on to end.
  ~WinspoolPrinters() override;

  PrinterCollection Printers() override;

  // Handles of the spooler this backend holds.
  std::size_t SpoolerHandleCount() const { return spooler_handles_.size(); }

 protected:
  std::int32_t Open(std::int32_t handle, const std::u16string& name) override;
  std::int32_t Describe(std::int32_t handle, const std::u16string& name, Record& record) override;
  void Closed(std::int32_t handle, const std::u16string& name) override;

 private:
  std::map<std::int32_t, void*> spooler_handles_;
  // Every spooler call runs under it.
  Bounds bounds_;
};

}  // namespace printing
