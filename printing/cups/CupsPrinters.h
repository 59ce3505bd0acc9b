// The printer backend over CUPS: the destinations that lpstat -e lists (the
// scheduler's queues, instances as "queue/instance", and the IPP printers
// found on the network) and their level-2 descriptions. Every wait on the
// scheduler and on the network is bounded.
#pragma once
#include <chrono>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "Bounded.h"
#include "DeviceCheck.h"
#include "DeviceTransport.h"
#include "DnssdBrowser.h"
#include "PrinterServices.h"
#include "Scheduler.h"

namespace printing {

class CupsPrinters : public PrinterServices {
 public:
  // Longest wait for the scheduler to accept a connection, and for all the
  // answers on it.
  static constexpr std::chrono::milliseconds kConnectTimeout = kSchedulerConnectTimeout;
  static constexpr std::chrono::milliseconds kAnswerTimeout = kSchedulerAnswerTimeout;
  // Longest time spent asking a network device itself.
  static constexpr std::chrono::milliseconds kDeviceCheckTimeout{2000};
  // How long the queues' device URIs and UUIDs, asked for only while printers
  // are found on the network, serve while the queues' names stay the same.
  static constexpr std::chrono::seconds kQueueIdentityAge{10};

  // `sysfs_root` is where the kernel shows its devices: "/sys", or a tree in
  // its layout for tests.
  explicit CupsPrinters(std::filesystem::path sysfs_root = "/sys")
      : transport_(bounds_, &dnssd_, std::move(sysfs_root)) {}

  PrinterCollection Printers() override;

 protected:
  std::int32_t Open(std::int32_t handle, const std::u16string& name) override;
  std::int32_t Describe(std::int32_t handle, const std::u16string& name, Record& record) override;

 private:
  // Asks a network device itself, within the one bound.
  DeviceState Check(const std::string& device_uri, bool describe = false);
  // The device behind a queue: its own, or for a cups-browsed queue
  // (implicitclass://QUEUE/) the printers it stands for.
  DeviceState CheckQueueDevice(const std::string& device_uri, ipp_t* attributes);
  // A member of a class: ready when it accepts jobs, is not stopped and its
  // device is there; a class is as ready as the best of its members.
  DeviceState CheckMember(ipp_t* member_attributes);
  DeviceState CheckMembers(http_t* http, const std::vector<std::string>& members);
  DeviceState CheckBehind(const std::string& queue, const std::optional<std::string>& browsed_default);
  std::int32_t DescribeFound(const FoundPrinter& printer, Record& record);

  // The name lookups and DNS-SD resolutions given up on; joined by the time
  // the backend is gone (the browser and the transport use them).
  Bounds bounds_;
  DnssdBrowser dnssd_;
  CupsTransport transport_;
  // How the devices of the printer being described ask their SNMP agents
  // (snmp.conf, read once for each description).
  SnmpAccess snmp_;
  // The printers found on the network that the last collection listed, by name.
  std::map<std::string, FoundPrinter> listed_found_;
  // The queues with their device URIs and UUIDs, as last asked, and when.
  std::vector<SchedulerQueue> identified_;
  Clock::time_point identified_at_{};
};

}  // namespace printing
