// The printer backend over the Windows spooler (winspool): its local printers
// and connections, opened and described by the spooler itself. The level-2
// record comes from the real GetPrinterA and is packed again into the 32-bit
// layout, since a 64-bit spooler's record holds 8-byte pointers. A local
// printer whose port names a network device is also asked by the device
// itself, since the spooler learns that a device is gone only when a job
// fails on it.
#pragma once
#include <chrono>
#include <map>
#include <utility>

#include "Bounded.h"
#include "DeviceTransport.h"
#include "PrinterServices.h"

namespace printing {

// A printer handle of the spooler, closed when its owner goes (waiting at
// most the spooler call timeout).
class SpoolerHandle {
 public:
  SpoolerHandle(void* handle, Bounds& bounds) : handle_(handle), bounds_(&bounds) {}
  SpoolerHandle(SpoolerHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)), bounds_(other.bounds_) {}
  SpoolerHandle& operator=(SpoolerHandle&&) = delete;
  ~SpoolerHandle();

  void* get() const { return handle_; }
  // Hands the handle over to what closes it instead.
  void* release() { return std::exchange(handle_, nullptr); }

 private:
  void* handle_;  // the spooler's HANDLE
  Bounds* bounds_;
};

class WinspoolPrinters : public PrinterServices {
 public:
  // Longest wait for the spooler to list its printers, and for each other
  // call (open, query, close). A call that takes longer fails with
  // ERROR_TIMEOUT, and a list that takes longer is empty.
  static constexpr std::chrono::milliseconds kListTimeout{2000};
  static constexpr std::chrono::milliseconds kCallTimeout{2000};
  // Longest wait for a printer's network device, from looking up its port to
  // its answer.
  static constexpr std::chrono::milliseconds kDeviceCheckTimeout{2000};

  WinspoolPrinters() = default;
  WinspoolPrinters(const WinspoolPrinters&) = delete;
  WinspoolPrinters& operator=(const WinspoolPrinters&) = delete;

  PrinterCollection Printers() override;

  // Handles of the spooler this backend holds.
  std::size_t SpoolerHandleCount() const { return spooler_handles_.size(); }

 protected:
  std::int32_t Open(std::int32_t handle, const std::u16string& name) override;
  std::int32_t Describe(std::int32_t handle, const std::u16string& name, Record& record) override;
  void Closed(std::int32_t handle, const std::u16string& name) override;
  std::string ErrorMessage(std::int32_t error) const override;

 private:
  // What the devices behind the printer's ports say, within the one bound.
  DeviceState CheckPorts(const std::string& port_names);

  // Every spooler call and every name lookup runs under it; going, it waits
  // for the calls it gave up on to end.
  Bounds bounds_;
  SpoolerTransport transport_{bounds_};
  // Closed before the bounds go.
  std::map<std::int32_t, SpoolerHandle> spooler_handles_;
};

}  // namespace printing
