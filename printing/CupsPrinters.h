// The printer backend over CUPS: the scheduler's destinations (instances as
// "queue/instance") and their level-2 descriptions. Every wait on the
// scheduler is bounded.
#pragma once
#include <chrono>
#include <filesystem>
#include <utility>

#include "Bounded.h"
#include "PrinterServices.h"

namespace printing {

class CupsPrinters : public PrinterServices {
 public:
  // Longest wait for the scheduler to accept a connection, and for all the
  // answers on it.
  static constexpr std::chrono::milliseconds kConnectTimeout{1500};
  static constexpr std::chrono::milliseconds kAnswerTimeout{1500};
  // Longest time spent asking a queue's network device itself.
  static constexpr std::chrono::milliseconds kDeviceCheckTimeout{2000};

  // `sysfs_root` is where the kernel shows its devices: "/sys", or a tree in
  // its layout for tests.
  explicit CupsPrinters(std::filesystem::path sysfs_root = "/sys") : sysfs_root_(std::move(sysfs_root)) {}

  PrinterCollection Printers() override;

 protected:
  std::int32_t Open(std::int32_t handle, const std::u16string& name) override;
  std::int32_t Describe(std::int32_t handle, const std::u16string& name, Record& record) override;

 private:
  std::filesystem::path sysfs_root_;
  // The name lookups and DNS-SD resolutions given up on; joined by the time
  // the backend is gone.
  Bounds bounds_;
};

}  // namespace printing
