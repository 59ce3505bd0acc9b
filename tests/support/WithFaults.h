// A backend whose spooler calls, and whose list loads, can be made to fail or
// to do something else first, at exactly those moments: Fault is called with
// the call's name ("Printers", "OpenPrinterW", "GetPrinterA", "ClosePrinter",
// "RtlMoveMemory") before the backend runs it, and may throw to make the
// call fail.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "PrinterServices.h"

namespace printing::testing {

template <class Backend>
class WithFaults : public Backend {
 public:
  using Backend::Backend;

  std::function<void(const std::string& call)> Fault;

  PrinterCollection Printers() override {
    Enter("Printers");
    return Backend::Printers();
  }
  std::int32_t OpenPrinterW(const char16_t* name, std::int32_t* handle, const void* defaults) override {
    Enter("OpenPrinterW");
    return Backend::OpenPrinterW(name, handle, defaults);
  }
  std::int32_t GetPrinterA(std::int32_t handle, std::int32_t level, void* buffer, std::int32_t buffer_size,
                           std::int32_t* bytes_needed) override {
    Enter("GetPrinterA");
    return Backend::GetPrinterA(handle, level, buffer, buffer_size, bytes_needed);
  }
  std::int32_t ClosePrinter(std::int32_t handle) override {
    Enter("ClosePrinter");
    return Backend::ClosePrinter(handle);
  }
  void RtlMoveMemory(void* destination, std::int32_t source, std::int32_t length) override {
    Enter("RtlMoveMemory");
    Backend::RtlMoveMemory(destination, source, length);
  }

 private:
  void Enter(const char* call) {
    if (Fault) Fault(call);
  }
};

}  // namespace printing::testing
