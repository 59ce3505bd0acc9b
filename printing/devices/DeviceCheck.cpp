#include "DeviceCheck.h"

#include <algorithm>

namespace printing {

std::vector<std::string> Resolve(
    const std::string& host, int port, const Deadline& deadline, Bounds& bounds,
    const std::function<std::vector<std::string>(const std::string&, const std::string&, bool)>& addresses) {
  const std::string service = std::to_string(port);
  // An address given as numbers needs no lookup, nor a thread to wait on.
  std::vector<std::string> numeric = addresses(host, service, true);
  if (!numeric.empty()) return numeric;
  auto found = bounds.Run<std::vector<std::string>>(
      deadline, [addresses, host, service] { return addresses(host, service, false); },
      [](std::vector<std::string>&) {});
  return found ? std::move(*found) : std::vector<std::string>{};
}

DeviceState AskAll(const std::vector<std::function<DeviceState()>>& asks) {
  if (asks.empty()) return DeviceState{};
  const std::vector<DeviceState> answers = AllAtOnce(asks);
  for (const auto& wanted : {+[](const DeviceState& d) { return Ready(d); },
                             +[](const DeviceState& d) { return d.kind == DeviceState::Reachable; }})
    if (const auto it = std::find_if(answers.begin(), answers.end(), wanted); it != answers.end()) return *it;
  return answers.front();
}

}  // namespace printing
