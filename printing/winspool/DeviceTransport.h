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
Addresses HostAddresses(const std::string& host, const std::string& service, bool numeric_only);

class SpoolerTransport : public Transport {
 public:
  // Name lookups run under `bounds`.
  explicit SpoolerTransport(Bounds& bounds) : bounds_(bounds) {}

  Addresses Lookup(const std::string& host, int port, const Deadline& deadline) override;
  Step Connects(const std::string& address, int port, std::chrono::milliseconds hold, const Deadline& deadline,
                std::stop_token stop) override;
  std::optional<std::vector<std::uint8_t>> Exchange(const std::string& address, int port,
                                                    const std::vector<std::uint8_t>& datagram,
                                                    const Deadline& deadline, std::stop_token stop) override;
  // WinHTTP looks the name up itself, within the deadline. The printer is
  // asked for its state and supplies alone. Where WinHTTP could not look
  // the name up or connect, the lookup or the connection is tried again
  // here, to tell which step failed.
  IppReply AskIpp(const DeviceUri& uri, bool describe, const Deadline& deadline) override;

 private:
  // How far a request that WinHTTP failed with `error` got.
  IppReply Failed(const DeviceUri& uri, unsigned long error, const Deadline& deadline);

  Bounds& bounds_;
};

}  // namespace printing
