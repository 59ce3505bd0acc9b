#include "DeviceCheck.h"

#include <algorithm>

namespace printing {

Addresses Resolve(const std::string& host, int port, const Deadline& deadline, Bounds& bounds,
                  const std::function<Addresses(const std::string&, const std::string&, bool)>& addresses) {
  const std::string service = std::to_string(port);
  // An address given as numbers needs no lookup, nor a thread to wait on.
  Addresses numeric = addresses(host, service, true);
  if (!numeric.empty()) return numeric;
  auto found = bounds.Run<Addresses>(
      deadline, [addresses, host, service] { return addresses(host, service, false); }, [](Addresses&) {});
  if (found) return std::move(*found);
  Addresses none;
  none.failed = Step::NameServerSilent;
  return none;
}

void ConnectAgain(Transport& transport, const std::string& address, int port, const Deadline& deadline,
                  IppReply& failed) {
  Step step = deadline.Passed() ? Step::Silent : transport.Connects(address, port, std::chrono::milliseconds(0), deadline);
  if (step == Step::Answered) step = Step::Silent;
  if (Further(failed.step, step) == failed.step) return;
  failed.step = step;
  failed.address = address;
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
