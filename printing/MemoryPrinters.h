// An in-memory printer backend: printers, their level-2 fields and their
// failures are whatever the owner puts in. It records what was asked of it.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "PrinterServices.h"

namespace printing {

struct MemoryPrinter {
  std::u16string DeviceName;
  Record Info;
  bool CannotOpen = false;  // OpenPrinterW fails
  bool QueryFails = false;  // every level-2 query fails
};

class MemoryPrinters : public PrinterServices {
 public:
  std::vector<MemoryPrinter> Installed;

  // Called at the start of Printers() and of every spooler call with the
  // call's name ("Printers", "OpenPrinterW", "GetPrinterA", "ClosePrinter",
  // "RtlMoveMemory"); it may throw to make that call fail.
  std::function<void(const std::string& call)> Fault;

  // What was asked.
  std::vector<std::u16string> Opened;  // names handed to OpenPrinterW, in order
  int CollectionReads = 0;
  int Queries = 0;

  MemoryPrinter& Add(std::u16string name, Record info = {});

  PrinterCollection Printers() override;

 protected:
  void Entering(const char* call) override;
  std::int32_t Open(std::int32_t handle, const std::u16string& name) override;
  std::int32_t Describe(std::int32_t handle, const std::u16string& name, Record& record) override;

 private:
  const MemoryPrinter* Find(const std::u16string& name) const;
};

}  // namespace printing
