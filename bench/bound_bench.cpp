// How long the printer layer's bounded waits take against peers that are
// dead, mute, slow or dropping: the scheduler connection (list load and open)
// and the device check, each against the peers of its own kind.
//   bound_bench RUNS
// Run by bench/bounds.sh, in a network namespace of its own where
// 10.9.9.0/24 is routed nowhere (a host that is gone) and the name server at
// 127.0.0.1 is this program, which never answers. Prints a Markdown table
// row for each case: what, its peer, the bound, the median and the longest
// time, and what it gave.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <cups/cups.h>

#include "CupsPrinters.h"
#include "DeviceCheck.h"
#include "LoopbackPeer.h"
#include "UdpPeer.h"

namespace {

using Clock = std::chrono::steady_clock;
using printing::CupsPrinters;
using printing::testing::ClosedLoopbackPort;
using printing::testing::LoopbackPeer;

// A name server on 127.0.0.1:53 that takes every question and answers none.
class MuteNameServer {
 public:
  MuteNameServer() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
  }
  ~MuteNameServer() { close(fd_); }
  bool Ok() const { return ok_; }

 private:
  int fd_;
  bool ok_ = false;
};

const char* KindName(printing::DeviceState::Kind kind) {
  switch (kind) {
    case printing::DeviceState::Unreachable:
      return "unreachable";
    case printing::DeviceState::Reachable:
      return "reachable";
    default:
      return "not checked";
  }
}

// The step that failed, as the reason's table names it.
const char* StepName(printing::Step step) {
  switch (step) {
    case printing::Step::NameUnknown: return "name unknown";
    case printing::Step::NameServerSilent: return "no name server answered";
    case printing::Step::NoRoute: return "no route";
    case printing::Step::Silent: return "silent";
    case printing::Step::Refused: return "refused";
    case printing::Step::HungUp: return "hung up";
    case printing::Step::TlsFailed: return "TLS failed";
    case printing::Step::Refusal: return "an HTTP or IPP error";
    default: return nullptr;
  }
}

int runs = 3;

// Times `run` RUNS times; prints the row.
void Row(const std::string& what, const std::string& peer, std::chrono::milliseconds bound,
         const std::function<std::string()>& run) {
  std::vector<double> ms;
  std::string outcome;
  for (int i = 0; i < runs; ++i) {
    const auto begin = Clock::now();
    outcome = run();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("| %s | %s | %lld | %.0f | %.0f | %s |\n", what.c_str(), peer.c_str(),
              static_cast<long long>(bound.count()), ms[ms.size() / 2], ms.back(), outcome.c_str());
  std::fflush(stdout);
}

void PointAt(const std::string& server) {
  setenv("CUPS_SERVER", server.c_str(), 1);
  cupsSetServer(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) runs = std::max(1, std::atoi(argv[1]));
  const std::string folder = std::getenv("KAVRO_BENCH_FOLDER") ? std::getenv("KAVRO_BENCH_FOLDER") : "/tmp";
  const bool isolated = std::getenv("KAVRO_BENCH_ISOLATED") != nullptr;
  const bool dnssd = std::getenv("DBUS_SYSTEM_BUS_ADDRESS") != nullptr;
  std::unique_ptr<MuteNameServer> name_server;
  if (isolated) name_server = std::make_unique<MuteNameServer>();

  std::printf("| call | peer | bound ms | median ms | longest ms | outcome |\n");
  std::printf("|---|---|---:|---:|---:|---|\n");

  // The scheduler: a list load and an open, as the window asks them.
  auto backend = std::make_unique<CupsPrinters>();
  CupsPrinters& printers = *backend;
  const auto scheduler_bound = CupsPrinters::kConnectTimeout + CupsPrinters::kAnswerTimeout;
  struct SchedulerCase {
    std::string peer;
    std::function<std::unique_ptr<LoopbackPeer>(std::string&)> make;
  };
  const std::string sock = folder + "/peer.sock";
  std::vector<SchedulerCase> schedulers = {
      {"no socket (none running)", [&](std::string& s) { s = folder + "/none.sock"; return nullptr; }},
      {"takes no connection (mute)",
       [&](std::string& s) { s = sock; return std::make_unique<LoopbackPeer>(LoopbackPeer::NeverAccepts, sock); }},
      {"connected, never answers",
       [&](std::string& s) { s = sock; return std::make_unique<LoopbackPeer>(LoopbackPeer::Silent, sock); }},
      {"answers a byte each 100 ms (slow)",
       [&](std::string& s) { s = sock; return std::make_unique<LoopbackPeer>(LoopbackPeer::Drip, sock); }},
      {"drops each connection", [&](std::string& s) { s = sock; return std::make_unique<LoopbackPeer>(LoopbackPeer::Drops, sock); }},
  };
  if (isolated) {
    schedulers.push_back({"host gone (packets dropped)", [](std::string& s) {
                            s = "10.9.9.2";
                            return nullptr;
                          }});
    schedulers.push_back({"name server never answers", [](std::string& s) {
                            s = "printserver.example";
                            return nullptr;
                          }});
  }
  for (const SchedulerCase& c : schedulers) {
    std::string server;
    auto peer = c.make(server);
    PointAt(server);
    Row("list load", c.peer, scheduler_bound,
        [&] { return std::to_string(printers.Printers().Count()) + " printers"; });
    Row("open", c.peer, scheduler_bound, [&] {
      std::int32_t handle = 0;
      const bool opened = printers.OpenPrinterW(u"Office", &handle, nullptr) != 0;
      if (opened) printers.ClosePrinter(handle);
      return opened ? std::string("opened") : "error " + std::to_string(printers.LastDllError());
    });
  }

  // The device check of a queue's network device.
  const auto device_bound = CupsPrinters::kDeviceCheckTimeout;
  LoopbackPeer never(LoopbackPeer::NeverAccepts), silent(LoopbackPeer::Silent), drip(LoopbackPeer::Drip), drops(LoopbackPeer::Drops);
  const std::string closed = "127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  struct DeviceCase {
    std::string peer, uri;
  };
  std::vector<DeviceCase> devices = {
      {"refuses (no printer on the port)", "ipp://" + closed + "/ipp/print"},
      {"takes no connection (mute)", "ipp://" + never.Address() + "/ipp/print"},
      {"connected, never answers", "ipp://" + silent.Address() + "/ipp/print"},
      {"answers a byte each 100 ms (slow)", "ipp://" + drip.Address() + "/ipp/print"},
      {"drops each connection", "ipp://" + drops.Address() + "/ipp/print"},
      {"connected, never answers, TLS", "ipps://" + silent.Address() + "/ipp/print"},
      {"socket port refuses", "socket://" + closed},
  };
  // Out of the namespace, the machine's name server answers.
  if (!isolated) devices.push_back({"name that does not exist", "ipp://no-such-printer.invalid/ipp/print"});
  if (isolated) {
    devices.push_back({"host gone (packets dropped)", "ipp://10.9.9.2:631/ipp/print"});
    devices.push_back({"socket, host gone", "socket://10.9.9.2:9100"});
    devices.push_back({"name server never answers", "ipp://printer.example/ipp/print"});
  }
  if (dnssd) devices.push_back({"DNS-SD name nobody answers to", "dnssd://Nobody._ipp._tcp.local/"});
  // The kinds asked over UDP and the print servers: a device that is off
  // (nothing on its port) and one that never answers.
  const auto mute = [](const printing::testing::Datagram&) { return std::optional<printing::testing::Datagram>(); };
  printing::testing::UdpPeer mute_bjnp(mute);
  const std::string closed_udp = "127.0.0.1:" + std::to_string(printing::testing::ClosedUdpPort());
  devices.push_back({"HP (SNMP), nothing on port 161", "hp:/net/HP_LaserJet?ip=127.0.0.1"});
  devices.push_back({"BJNP, nothing on its port", "bjnp://" + closed_udp});
  devices.push_back({"BJNP, never answers", "bjnp://127.0.0.1:" + std::to_string(mute_bjnp.Port())});
  devices.push_back({"SMB server refuses", "smb://" + closed + "/Laser"});
  devices.push_back({"SMB server takes no connection (mute)", "smb://" + never.Address() + "/Laser"});
  devices.push_back({"beh, socket port refuses", "beh:/1/3/5/socket://" + closed});
  if (isolated) {
    devices.push_back({"HP (SNMP), host gone", "hp:/net/HP_LaserJet?ip=10.9.9.2"});
    devices.push_back({"SMB server, host gone", "smb://10.9.9.2/Laser"});
  }
  auto bounds = std::make_unique<printing::Bounds>();
  auto transport = std::make_unique<printing::CupsTransport>(*bounds);
  const auto check = [&](const std::string& uri) {
    const printing::DeviceState state = printing::CheckDevice(uri, *transport, printing::Deadline(device_bound));
    char status[48] = "";
    if (state.from_agent) std::snprintf(status, sizeof status, ", its agent: status 0x%x", unsigned(state.status));
    if (!state.supplies.empty()) std::snprintf(status + std::strlen(status), sizeof status - std::strlen(status),
                                               ", %zu supplies", state.supplies.size());
    const char* step = state.kind == printing::DeviceState::Unreachable ? StepName(state.step) : nullptr;
    return KindName(state.kind) + (step ? std::string(" (") + step + ")" : std::string()) + status;
  };
  for (const DeviceCase& c : devices) Row("device check", c.peer, device_bound, [&] { return check(c.uri); });
  // An agent on port 161 that never answers: only where the port is this
  // run's own.
  if (isolated) {
    printing::testing::UdpPeer mute_agent(mute, 161);
    Row("device check", "HP (SNMP), never answers", device_bound,
        [&] { return check("hp:/net/HP_LaserJet?ip=127.0.0.1"); });
  }
  // A raw printer that keeps the connection, and its agent on port 161: one
  // that answers (offline), nothing there (ICMP refuses), one that never
  // answers (the check waits 300 ms more for it).
  if (isolated) {
    const std::string raw = "socket://" + silent.Address();
    {
      printing::testing::UdpPeer agent(printing::testing::SnmpAgent(printing::testing::SnmpAgentSetup{
                                           "public", printing::testing::HostPrinterObjects(
                                                         1, {3, 3, printing::kHrOffline})}),
                                       161);
      Row("device check", "raw, its agent answers (offline)", device_bound, [&] { return check(raw); });
    }
    {
      // Its word, then a supplies table of four rows, one GetNextRequest each.
      printing::testing::SnmpObjects objects = printing::testing::HostPrinterObjects(1, {2, 3, printing::kHrLowToner});
      objects.merge(printing::testing::SupplyObjects(1, {{1, 3, "Black Toner", 100, 4}, {2, 3, "Cyan Toner", 100, 40},
                                                         {3, 3, "Magenta Toner", 100, 60}, {4, 4, "Waste Box", 100, 5}}));
      const auto agent = printing::testing::SnmpAgent({"public", objects});
      {
        printing::testing::UdpPeer table(agent, 161);
        Row("device check", "raw, its agent answers, with 4 supplies", device_bound, [&] { return check(raw); });
      }
      // Its word, and then never again: the walk is given up at the agent's wait.
      printing::testing::UdpPeer status_only(
          [&](const printing::testing::Datagram& request) {
            const auto asked = printing::ReadSnmpMessage(request.data(), request.size());
            return asked && asked->pdu == printing::kSnmpGetRequest ? agent(request) : std::nullopt;
          },
          161);
      Row("device check", "raw, its agent answers its word, never the walk", device_bound, [&] { return check(raw); });
    }
    Row("device check", "raw, nothing on port 161", device_bound, [&] { return check(raw); });
    printing::testing::UdpPeer mute_agent(mute, 161);
    Row("device check", "raw, its agent never answers", device_bound, [&] { return check(raw); });
    Row("device check", "raw port refuses, agent never answers", device_bound,
        [&] { return check("socket://" + closed); });
  }

  // What was given up on ends on its own; a backend that goes away waits
  // for it.
  const auto begin = Clock::now();
  transport.reset();
  bounds.reset();
  backend.reset();
  std::printf("\nThe calls given up on (name lookups, DNS-SD resolutions) ended %.1f s after the last check.\n",
              std::chrono::duration<double>(Clock::now() - begin).count());
  return 0;
}
