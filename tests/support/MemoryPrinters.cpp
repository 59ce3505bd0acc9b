#include "MemoryPrinters.h"

#include <algorithm>
#include <cstring>

namespace printing {

MemoryPrinter& MemoryBackend::Add(std::u16string name, Record info) {
  Installed.push_back(MemoryPrinter{std::move(name), std::move(info)});
  return Installed.back();
}

PrinterCollection MemoryBackend::Printers() {
  ++CollectionReads;
  std::vector<PrinterObject> items;
  for (std::size_t i = 0; i < Installed.size(); ++i)
    items.push_back(PrinterObject{Installed[i].DeviceName, static_cast<std::int32_t>(i)});
  return PrinterCollection(std::move(items));
}

const MemoryPrinter* MemoryBackend::Find(const std::u16string& name) const {
  const MemoryPrinter* found = nullptr;
  for (const auto& p : Installed)
    if (p.DeviceName == name) found = &p;
  return found;
}

std::int32_t MemoryBackend::Open(std::int32_t /*handle*/, const std::u16string& name) {
  Opened.push_back(name);
  const MemoryPrinter* p = Find(name);
  if (p == nullptr) return ERROR_INVALID_PRINTER_NAME;
  if (p->CannotOpen) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

std::int32_t MemoryBackend::Describe(std::int32_t /*handle*/, const std::u16string& name, Record& record) {
  ++Queries;
  const MemoryPrinter* p = Find(name);
  if (p == nullptr) return ERROR_INVALID_PRINTER_NAME;
  if (p->QueryFails) return RPC_S_SERVER_UNAVAILABLE;
  record = p->Info;
  return ERROR_SUCCESS;
}

std::int32_t RawRecordPrinters::GetPrinterA(std::int32_t handle, std::int32_t level, void* buffer,
                                            std::int32_t buffer_size, std::int32_t* bytes_needed) {
  // The handle and the level as the services check them, with a buffer of
  // their own; then the raw bytes in its place.
  std::vector<unsigned char> packed(64 * 1024);
  std::int32_t needed = 0;
  if (MemoryPrinters::GetPrinterA(handle, level, packed.data(), static_cast<std::int32_t>(packed.size()),
                                  &needed) == 0)
    return 0;
  const auto size = static_cast<std::int32_t>(Bytes.size());
  if (bytes_needed != nullptr) *bytes_needed = size;
  if (buffer == nullptr || buffer_size < size) return 0;
  if (!Bytes.empty()) std::memcpy(buffer, Bytes.data(), Bytes.size());
  mapped_ = true;
  return 1;
}

void RawRecordPrinters::RtlMoveMemory(void* destination, std::int32_t source, std::int32_t length) {
  if (length <= 0 || destination == nullptr) return;
  std::memset(destination, 0, static_cast<std::size_t>(length));
  if (!mapped_) return;
  const std::int64_t from = source, to = from + length;
  const std::int64_t lo = std::max<std::int64_t>(from, kRecordAddress);
  const std::int64_t hi = std::min<std::int64_t>(to, std::int64_t{kRecordAddress} + std::int64_t(Bytes.size()));
  if (lo < hi)
    std::memcpy(static_cast<unsigned char*>(destination) + (lo - from), Bytes.data() + (lo - kRecordAddress),
                static_cast<std::size_t>(hi - lo));
}

}  // namespace printing
