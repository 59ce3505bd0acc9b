#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

#include "DeviceKinds.h"
#include "DeviceStatus.h"
#include "Snmp.h"

namespace printing {
namespace {

// What one address said: whether its connection held, and what its agent
// said of the printer by the time it stopped being waited for.
struct AddressAnswer {
  Step step = Step::Silent;  // Answered when its connection held
  AgentWord agent;
};

// What the agent has said so far, which its thread adds to while the
// connection is asked.
class AgentNews {
 public:
  void Tell(const AgentWord& word, bool done) {
    std::lock_guard lock(mutex_);
    word_ = word;
    done_ = done_ || done;
    told_.notify_all();
  }
  // What it has said once it is done, or at `until` what it has said by then.
  AgentWord WaitUntil(Clock::time_point until) {
    std::unique_lock lock(mutex_);
    told_.wait_until(lock, until, [&] { return done_; });
    return word_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable told_;
  AgentWord word_;
  bool done_ = false;
};

// Asks `address`: the connection to `port`, and at the same time its agent
// (none: not asked); once the connection holds, the agent has kAgentWait
// more, for its word and then its supplies.
AddressAnswer AskAddress(const DeviceQuery& query, const std::string& address, int port,
                         std::chrono::milliseconds hold, const std::optional<AgentQuestion>& question,
                         std::stop_token stop) {
  std::stop_source agent_stop;
  const std::stop_callback with_the_rest(stop, [&agent_stop] { agent_stop.request_stop(); });
  AgentNews news;
  std::jthread agent;  // last: it ends before what it uses
  if (question)
    agent = std::jthread([&, token = agent_stop.get_token()] {
      AgentWord word;
      try {
        const auto exchange = [&](const std::vector<std::uint8_t>& request) {
          return query.transport.Exchange(address, kSnmpPort, request, query.deadline, token);
        };
        word = AskPrinterAgent(*question, exchange, NewSnmpRequestId, [&](const AgentWord& heard) {
          news.Tell(heard, false);
          word = heard;
        });
      } catch (...) {
        // What was heard before stands.
      }
      news.Tell(word, true);
    });
  AddressAnswer answer;
  answer.step = query.transport.Connects(address, port, hold, query.deadline, stop);
  if (answer.step == Step::Answered && agent.joinable()) {
    const Deadline wait(std::min(kAgentWait, query.deadline.Left()));
    answer.agent = news.WaitUntil(wait.At());
  }
  agent_stop.request_stop();
  return answer;
}

// Asks every address of `host` on each of `ports` at once: the first whose
// connection holds answers for the device, and the others are stopped, so
// that one that drops the attempt silently does not hold the answer back.
// When none holds, the attempt that got furthest says why.
DeviceState FirstThatHolds(const std::string& host, const std::vector<int>& ports, std::chrono::milliseconds hold,
                           const DeviceQuery& query, const std::optional<AgentQuestion>& question) {
  DeviceState state;
  state.kind = DeviceState::Unreachable;
  state.where = WhereAt(host, ports);
  state.host = host;
  const Addresses addresses = query.transport.Lookup(host, ports.front(), query.deadline);
  state.step = addresses.empty() ? addresses.failed : Step::NotAsked;
  std::mutex mutex;
  std::condition_variable ended;
  std::size_t count = 0, done = 0;
  std::optional<AddressAnswer> first;
  std::stop_source stop;
  {
    std::vector<std::jthread> asking;
    for (const std::string& address : addresses)
      for (int port : ports) {
        ++count;
        asking.emplace_back([&, address, port] {
          AddressAnswer answer;
          try {
            answer = AskAddress(query, address, port, hold, question, stop.get_token());
          } catch (...) {
            // A failed attempt has not held.
          }
          std::lock_guard lock(mutex);
          ++done;
          if (answer.step == Step::Answered && !first) first = answer;
          // The others, stopped once one holds, say nothing of the device.
          if (!first && Further(state.step, answer.step) != state.step) {
            state.step = answer.step;
            state.address = address;
          }
          ended.notify_all();
        });
      }
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return first.has_value() || done == count; });
    stop.request_stop();
  }
  if (!first) return state;
  state.kind = DeviceState::Reachable;
  state.step = Step::Answered;
  if (first->agent.status) {
    AddHostWord(state, *first->agent.status);
    state.supplies = first->agent.supplies;
  }
  return state;
}

// Whether a device URI's options leave its SNMP agent alone: "snmp=off" (or
// no, false), as CUPS's own backends read it.
bool AgentTurnedOff(const std::string& device_uri) {
  std::string value = UriOption(device_uri, "snmp").value_or("on");
  for (char& c : value) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return value == "off" || value == "no" || value == "false";
}

}  // namespace

DeviceState AskTcpPort(const std::string& device_uri, const DeviceQuery& query) {
  const std::optional<DeviceUri> uri = SplitDeviceUri(device_uri);
  if (!uri) return DeviceState{};
  std::optional<AgentQuestion> question;
  if (query.snmp.ask && !AgentTurnedOff(device_uri))
    question = AgentQuestion{.community = query.snmp.community, .index = query.snmp.index};
  return FirstThatHolds(uri->host, {uri->port}, kHangUpWait, query, question);
}

std::optional<SmbServer> SplitSmbUri(std::string_view uri) {
  constexpr std::string_view kScheme = "smb://";
  const auto same = [](char want, char got) { return want == got || want == (got | 0x20); };  // in any case
  if (uri.size() <= kScheme.size() || !std::equal(kScheme.begin(), kScheme.end(), uri.begin(), same))
    return std::nullopt;
  std::string_view rest = uri.substr(kScheme.size());
  rest = rest.substr(0, rest.find_first_of("?#"));
  // A user and password stand before the last '@' of what precedes the printer.
  if (const auto at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
  std::vector<std::string_view> parts;
  for (std::size_t start = 0; start <= rest.size();) {
    const auto slash = std::min(rest.find('/', start), rest.size());
    parts.push_back(rest.substr(start, slash - start));
    start = slash + 1;
  }
  // [workgroup/]server[:port]/printer
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  std::string_view server = parts[parts.size() - 2];
  SmbServer out;
  std::string_view port;
  if (!server.empty() && server.front() == '[') {
    const auto close = server.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    out.host = server.substr(1, close - 1);
    if (close + 1 < server.size()) {
      if (server[close + 1] != ':') return std::nullopt;
      port = server.substr(close + 2);
    }
  } else {
    const auto colon = server.find(':');
    out.host = server.substr(0, colon);
    if (colon != std::string_view::npos) port = server.substr(colon + 1);
  }
  if (out.host.empty()) return std::nullopt;
  if (!port.empty()) {
    int number = 0;
    for (char c : port) {
      if (c < '0' || c > '9' || number > 65535) return std::nullopt;
      number = number * 10 + (c - '0');
    }
    if (number < 1 || number > 65535) return std::nullopt;
    out.port = number;
  }
  return out;
}

DeviceState AskSmbServer(const std::string& device_uri, const DeviceQuery& query) {
  const std::optional<SmbServer> server = SplitSmbUri(device_uri);
  if (!server) return DeviceState{};
  // Its queue's own state needs a session, which needs a password: the
  // server taking a connection is all that is asked.
  const std::vector<int> ports = server->port ? std::vector<int>{server->port} : std::vector<int>{445, 139};
  return FirstThatHolds(server->host, ports, std::chrono::milliseconds(0), query, std::nullopt);
}

}  // namespace printing
