// How the device checks reach a device on Windows: WinHTTP for IPP, Winsock
// for connections and datagrams, the system's resolver for names.
#pragma once
#include <string>
#include <vector>

#include "DeviceCheck.h"

namespace printing {

// The numeric addresses that the system's resolver gives for `host` and
// `service`, at once; with `numeric_only` only when `host` is an address
// itself, so that nothing is looked up.
std::vector<std::string> HostAddresses(const std::string& host, const std::string& service, bool numeric_only);

class SpoolerTransport : public Transport {
 public:
  // Name lookups run under `bounds`.
  explicit SpoolerTransport(Bounds& bounds) : bounds_(bounds) {}

  std::vector<std::string> Lookup(const std::string& host, int port, const Deadline& deadline) override;
  bool Connects(const std::string& address, int port, std::chrono::milliseconds hold, const Deadline& deadline,
                std::stop_token stop) override;
  std::optional<std::vector<std::uint8_t>> Exchange(const std::string& address, int port,
                                                    const std::vector<std::uint8_t>& datagram,
                                                    const Deadline& deadline, std::stop_token stop) override;
  // WinHTTP looks the name up itself, within the deadline. The printer is
  // asked for its state alone.
  IppReply AskIpp(const DeviceUri& uri, bool describe, const Deadline& deadline) override;

 private:
  Bounds& bounds_;
};

}  // namespace printing
