// Devices that fail at each step of being asked, and one that answers with
// supplies that run low: one table for the Linux tests (a queue on the
// device's URI) and the Windows tests (a Standard TCP/IP port, or an
// http:// port for IPP), which read the same verdict and reason. The peers
// stand on loopback; the names are the tests' name server's (NameServer,
// asked through scripts/own-resolver).
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "LoopbackPeer.h"
#include "UdpPeer.h"

namespace printing::testing {

struct StepCase {
  const char* name;
  const char* scheme;  // socket, lpd, ipp or ipps (on Windows: raw, LPR, http or https)
  const char* host;
  const char* port;    // a number, or "{peer}" for the port of a peer of StepPeers
  bool ready;
  const char* reason;  // "{peer}" stands for the port of that peer
};

inline std::vector<StepCase> StepCases() {
  return {
      {"unknown name", "socket", "nosuch.test", "9100", false,
       "Not ready: no name server knows the printer's name nosuch.test. Check the printer's name or address."},
      {"silent name server", "lpd", "printer.silent.test", "515", false,
       "Not ready: no name server answered for the printer's name printer.silent.test. Check the network "
       "connection."},
      {"unknown IPP name", "ipp", "nosuch.test", "631", false,
       "Not ready: no name server knows the printer's name nosuch.test. Check the printer's name or address."},
      // The kernel routes no TCP connection to a multicast address.
      {"no route", "socket", "224.0.0.1", "9100", false,
       "Not ready: there is no route to the printer at 224.0.0.1. Check the network or VPN connection."},
      {"refused", "socket", "printer.test", "{closed}", false,
       "Not ready: the printer at printer.test (127.0.0.1) refuses the connection on port {closed}. The printer "
       "takes no jobs on port {closed}."},
      {"never answers", "socket", "127.0.0.1", "{full}", false,
       "Not ready: the printer does not answer at 127.0.0.1 port {full}. Check that it is switched on and "
       "connected to the network."},
      {"hangs up", "lpd", "127.0.0.1", "{drops}", false,
       "Not ready: the printer at 127.0.0.1 port {drops} hangs up at once. Its print service may be stopped or "
       "busy: restart the printer."},
      {"no TLS", "ipps", "127.0.0.1", "{blurts}", false,
       "Not ready: the secure connection (TLS) to the printer at 127.0.0.1 port {blurts} fails. Check the "
       "printer's security settings."},
      {"not found", "ipp", "printer.test", "{missing}", false,
       "Not ready: the printer is gone from its server at printer.test (127.0.0.1) port {missing}: there is no "
       "printer at /ipp/print (HTTP 404). Check the printer's address."},
      {"IPP never answers", "ipp", "printer.test", "{silent}", false,
       "Not ready: the printer does not answer at printer.test (127.0.0.1) port {silent}. Check that it is "
       "switched on and connected to the network."},
      {"supplies", "ipp", "printer.test", "{supplies}", true,
       "Ready: the printer answered at printer.test port {supplies} and is idle. It reports: Black Toner at 4 %, "
       "Waste Toner 96 % full; see to it at the printer."},
  };
}

// The peers of the table, for as long as it is read.
struct StepPeers {
  UdpPeer names{NameServer({{"printer.test", "127.0.0.1"}}), 53, kTestNameServer};
  LoopbackPeer full{LoopbackPeer::Full}, drops{LoopbackPeer::Drops}, blurts{LoopbackPeer::Blurts},
      silent{LoopbackPeer::Silent}, missing{LoopbackPeer::Answer{HttpAnswer("404 Not Found")}},
      supplies{LoopbackPeer::Answer{IppPrinterAnswer(
          3, true, {"none"},
          {{"Black Toner", "toner", 4, 10}, {"Cyan Toner", "toner", 60, 10}, {"Waste Toner", "waste-toner", 96, 90}})}};
  const int closed = ClosedLoopbackPort();

  // `text` with each "{peer}" filled in with its port.
  std::string Filled(std::string text) const {
    const std::pair<const char*, int> ports[] = {{"{closed}", closed},         {"{full}", full.Port()},
                                                 {"{drops}", drops.Port()},    {"{blurts}", blurts.Port()},
                                                 {"{silent}", silent.Port()},  {"{missing}", missing.Port()},
                                                 {"{supplies}", supplies.Port()}};
    for (const auto& [mark, port] : ports)
      for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark))
        text.replace(at, std::string(mark).size(), std::to_string(port));
    return text;
  }
};

}  // namespace printing::testing
