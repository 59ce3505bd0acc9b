#include "DeviceCheck.h"

namespace printing {

std::vector<std::string> Resolve(const std::string& host, int port, const Deadline& deadline, Bounds& bounds) {
  const std::string service = std::to_string(port);
  // An address given as numbers needs no lookup, nor a thread to wait on.
  std::vector<std::string> numeric = HostAddresses(host, service, true);
  if (!numeric.empty()) return numeric;
  auto addresses = bounds.Run<std::vector<std::string>>(
      deadline, [host, service] { return HostAddresses(host, service, false); },
      [](std::vector<std::string>&) {});
  return addresses ? std::move(*addresses) : std::vector<std::string>{};
}

}  // namespace printing
