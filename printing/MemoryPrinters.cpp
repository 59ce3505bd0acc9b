#include "MemoryPrinters.h"

namespace printing {

MemoryPrinter& MemoryPrinters::Add(std::u16string name, Record info) {
  Installed.push_back(MemoryPrinter{std::move(name), std::move(info)});
  return Installed.back();
}

PrinterCollection MemoryPrinters::Printers() {
  Entering("Printers");
  ++CollectionReads;
  std::vector<PrinterObject> items;
  for (std::size_t i = 0; i < Installed.size(); ++i)
    items.push_back(PrinterObject{Installed[i].DeviceName, static_cast<std::int32_t>(i)});
  return PrinterCollection(std::move(items));
}

void MemoryPrinters::Entering(const char* call) {
  if (Fault) Fault(call);
}

const MemoryPrinter* MemoryPrinters::Find(const std::u16string& name) const {
  const MemoryPrinter* found = nullptr;
  for (const auto& p : Installed)
    if (p.DeviceName == name) found = &p;
  return found;
}

std::int32_t MemoryPrinters::Open(std::int32_t /*handle*/, const std::u16string& name) {
  Opened.push_back(name);
  const MemoryPrinter* p = Find(name);
  if (p == nullptr) return ERROR_INVALID_PRINTER_NAME;
  if (p->CannotOpen) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

std::int32_t MemoryPrinters::Describe(std::int32_t /*handle*/, const std::u16string& name, Record& record) {
  ++Queries;
  const MemoryPrinter* p = Find(name);
  if (p == nullptr) return ERROR_INVALID_PRINTER_NAME;
  if (p->QueryFails) return RPC_S_SERVER_UNAVAILABLE;
  record = p->Info;
  return ERROR_SUCCESS;
}

}  // namespace printing
