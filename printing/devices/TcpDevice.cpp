#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "DeviceKinds.h"

namespace printing {
namespace {

// Whether the device at `host` takes a TCP connection on one of `ports` (and
// keeps it for `hold`): every address and port is tried at once, so that
// one that drops the attempt silently does not use up the time of the others.
DeviceState AnyConnects(const std::string& host, const std::vector<int>& ports, std::chrono::milliseconds hold,
                        const DeviceQuery& query) {
  DeviceState state;
  state.kind = DeviceState::Unreachable;
  std::vector<std::function<bool()>> tries;
  for (const std::string& address : query.transport.Lookup(host, ports.front(), query.deadline))
    for (int port : ports)
      tries.push_back([&query, address, port, hold] {
        return query.transport.Connects(address, port, hold, query.deadline);
      });
  for (bool connected : AllAtOnce(tries))
    if (connected) state.kind = DeviceState::Reachable;
  return state;
}

}  // namespace

DeviceState AskTcpPort(const std::string& device_uri, const DeviceQuery& query) {
  const std::optional<DeviceUri> uri = SplitDeviceUri(device_uri);
  if (!uri) return DeviceState{};
  return AnyConnects(uri->host, {uri->port}, kHangUpWait, query);
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
  return AnyConnects(server->host, ports, std::chrono::milliseconds(0), query);
}

}  // namespace printing
