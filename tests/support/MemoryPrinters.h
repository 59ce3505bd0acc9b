// An in-memory printer backend for the tests: printers, their level-2 fields
// and their failures are whatever the owner puts in, and every call can be
// made to fail (Fault, see WithFaults.h). It records what was asked of it.
#pragma once
#include <string>
#include <vector>

#include "PrinterServices.h"
#include "WithFaults.h"

namespace printing {

struct MemoryPrinter {
  std::u16string DeviceName;
  Record Info;
  bool CannotOpen = false;  // OpenPrinterW fails
  bool QueryFails = false;  // every level-2 query fails
};

class MemoryBackend : public PrinterServices {
 public:
  std::vector<MemoryPrinter> Installed;

  // What was asked.
  std::vector<std::u16string> Opened;  // names handed to OpenPrinterW, in order
  int CollectionReads = 0;
  int Queries = 0;

  MemoryPrinter& Add(std::u16string name, Record info = {});

  PrinterCollection Printers() override;

 protected:
  std::int32_t Open(std::int32_t handle, const std::u16string& name) override;
  std::int32_t Describe(std::int32_t handle, const std::u16string& name, Record& record) override;

 private:
  const MemoryPrinter* Find(const std::u16string& name) const;
};

class MemoryPrinters : public testing::WithFaults<MemoryBackend> {};

// MemoryPrinters whose level-2 record is `Bytes`, whatever they are: no
// packer made them. The record stands at kRecordAddress for RtlMoveMemory
// after a query that filled a buffer, as a packed one does.
class RawRecordPrinters : public MemoryPrinters {
 public:
  std::vector<unsigned char> Bytes;

  std::int32_t GetPrinterA(std::int32_t handle, std::int32_t level, void* buffer, std::int32_t buffer_size,
                           std::int32_t* bytes_needed) override;
  void RtlMoveMemory(void* destination, std::int32_t source, std::int32_t length) override;

 private:
  bool mapped_ = false;
};

}  // namespace printing
