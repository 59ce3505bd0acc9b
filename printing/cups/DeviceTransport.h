// How the device checks reach a device on Linux: libcups for IPP (and its
// TLS) and DNS-SD services, sockets for connections and datagrams, avahi for
// the names of the local link, the kernel's /sys for the USB bus.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "DeviceCheck.h"

namespace printing {

class DnssdBrowser;

// The numeric addresses that the system's resolver gives for `host` and
// `service`, at once; with `numeric_only` only when `host` is an address
// itself, so that nothing is looked up.
Addresses HostAddresses(const std::string& host, const std::string& service, bool numeric_only);

class CupsTransport : public Transport {
 public:
  // What cannot be interrupted (a name lookup, a DNS-SD resolution) runs
  // under `bounds`. `dnssd`, when given, looks up the names of the local
  // link (".local"); `sysfs_root` is where the kernel shows its devices:
  // "/sys", or a tree in its layout for tests.
  explicit CupsTransport(Bounds& bounds, DnssdBrowser* dnssd = nullptr, std::filesystem::path sysfs_root = "/sys")
      : bounds_(bounds), dnssd_(dnssd), sysfs_root_(std::move(sysfs_root)) {}

  Addresses Lookup(const std::string& host, int port, const Deadline& deadline) override;
  Step Connects(const std::string& address, int port, std::chrono::milliseconds hold, const Deadline& deadline,
                std::stop_token stop) override;
  std::optional<std::vector<std::uint8_t>> Exchange(const std::string& address, int port,
                                                    const std::vector<std::uint8_t>& datagram,
                                                    const Deadline& deadline, std::stop_token stop) override;
  IppReply AskIpp(const DeviceUri& uri, bool describe, const Deadline& deadline) override;
  DeviceState AskService(const std::string& device_uri, const Deadline& deadline) override;
  UsbPresence FindUsb(const std::string& device_uri) override;

 private:
  Bounds& bounds_;
  DnssdBrowser* dnssd_;
  std::filesystem::path sysfs_root_;
};

}  // namespace printing
