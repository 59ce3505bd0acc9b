// Raw printers whose SNMP agent (on port 161 of the printer's address) says
// each state that a test of the printer reads: one table for the Linux tests
// (a queue on socket://) and the Windows tests (a Standard TCP/IP port with
// SNMP status on, community "public", device index 1), which read the same
// verdict, status word, reason and supplies.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "SpoolerCodes.h"
#include "UdpPeer.h"

namespace printing::testing {

struct AgentCase {
  const char* name;
  UdpPeer::Answer agent;  // none: nothing on port 161 (ICMP refuses)
  bool connects;          // the printer's raw port takes the connection and keeps it
  const char* verdict;    // "YES" or "NO"
  std::int32_t status;    // the status word
  const char* reason;     // "{where}" stands for "ADDRESS port PORT", "{port}" for PORT
  std::vector<Supply> supplies = {};  // what the test learnt of them
};

inline SnmpAgentSetup Printer(HostPrinterStatus status, std::string community = "public", int index = 1) {
  return {std::move(community), HostPrinterObjects(index, status)};
}

inline std::vector<AgentCase> AgentCases() {
  constexpr std::int32_t kRunning = 2, kIdle = 3;
  const HostPrinterStatus idle{kRunning, kIdle, 0};
  auto with = [&](std::int32_t device, std::int32_t printer, std::uint16_t errors) {
    return SnmpAgent(Printer({device, printer, errors}));
  };
  // A printer that lacks objects (by their place in HostPrinterOids), and has supplies.
  const auto lacking = [](SnmpAgentSetup setup, std::vector<int> objects, bool exceptions = false) {
    for (int k : objects) setup.objects.erase(HostPrinterOids(1)[k]);
    setup.exceptions = exceptions;
    return setup;
  };
  const auto with_supplies = [](SnmpAgentSetup setup, const std::vector<SupplyRow>& rows) {
    setup.objects.merge(SupplyObjects(1, rows));
    return setup;
  };
  // A toner at 4 %, a waste box 95 % full, one that cannot say and one whose
  // level is not known; its names in Latin-1 and in UTF-8.
  const std::vector<SupplyRow> rows = {{1, 3, "Black Toner", 1000, 40},
                                       {2, 4, "Waste Toner Box", 400, 20},
                                       {3, 3, "Cyan T\xf3ner", -1, 80},
                                       {12, 1, "Drum \xe2\x80\x93 black", 100, -2}};
  const std::vector<Supply> supplies = {{"Black Toner", 4},
                                        {"Waste Toner Box", 95, -1, true},
                                        {"Cyan T\xc3\xb3ner", -1},
                                        {"Drum \xe2\x80\x93 black", -2}};
  SnmpAgentSetup failing = with_supplies(Printer(idle), rows);
  failing.error_status = 5;  // genErr
  SnmpAgentSetup not_a_printer = Printer({kHrDeviceDown, kIdle, kHrOffline});
  not_a_printer.objects = HostPrinterObjects(1, {kHrDeviceDown, kIdle, kHrOffline}, "1.3.6.1.2.1.25.3.1.3");
  not_a_printer = with_supplies(not_a_printer, rows);
  const char* ready_idle = "Ready: the printer answered at {where} and is idle.";
  // The supplies that run low say more than the toner-low bit.
  const char* kSuppliesLow =
      "Ready: the printer answered at {where} and is idle. It reports: Black Toner at 4 %, Waste Toner Box 95 % "
      "full; see to it at the printer.";
  const char* ready = "Ready: the printer answered at {where}.";
  return {
      {"idle", SnmpAgent(Printer(idle)), true, "YES", 0, ready_idle},
      {"printing", with(kRunning, 4, 0), true, "YES", PRINTER_STATUS_PRINTING,
       "Ready: the printer answered at {where} and is printing."},
      {"warming up", with(kRunning, 5, 0), true, "YES", PRINTER_STATUS_WARMING_UP,
       "Ready: the printer answered at {where} and is warming up."},
      {"offline bit", with(3, kIdle, kHrOffline), true, "NO", PRINTER_STATUS_OFFLINE,
       "Not ready: the printer says it is offline. Put it online at the printer."},
      {"down", with(kHrDeviceDown, 2, 0), true, "NO", PRINTER_STATUS_ERROR,
       "Not ready: the printer says it is down. It reports: an error; see to it at the printer."},
      {"jammed", with(3, kIdle, kHrJammed), true, "YES", PRINTER_STATUS_PAPER_JAM,
       "Ready: the printer answered at {where} and is idle. It reports: paper jam; see to it at the printer."},
      {"no paper", with(3, kIdle, kHrNoPaper), true, "YES", PRINTER_STATUS_PAPER_OUT,
       "Ready: the printer answered at {where} and is idle. It reports: out of paper; see to it at the printer."},
      {"door open", with(3, kIdle, kHrDoorOpen), true, "YES", PRINTER_STATUS_DOOR_OPEN,
       "Ready: the printer answered at {where} and is idle. It reports: door open; see to it at the printer."},
      {"toner low", with(3, kIdle, kHrLowToner), true, "YES", PRINTER_STATUS_TONER_LOW,
       "Ready: the printer answered at {where} and is idle. It reports: toner low; see to it at the printer."},
      {"objects missing", SnmpAgent(lacking(Printer(idle), {3})), true, "YES", 0, ready_idle},
      {"objects missing and down", SnmpAgent(lacking(Printer({kHrDeviceDown, kIdle, kHrOffline}), {2, 3})), true, "NO",
       PRINTER_STATUS_ERROR, "Not ready: the printer says it is down. It reports: an error; see to it at the printer."},
      {"objects missing as exceptions", SnmpAgent(lacking(Printer({kRunning, 4, kHrJammed}), {1, 2}, true)), true,
       "YES", PRINTER_STATUS_PAPER_JAM,
       "Ready: the printer answered at {where} and is idle. It reports: paper jam; see to it at the printer."},
      {"supplies", SnmpAgent(with_supplies(Printer({kRunning, kIdle, kHrLowToner}), rows)), true, "YES",
       PRINTER_STATUS_TONER_LOW, kSuppliesLow, supplies},
      {"supplies and objects missing", SnmpAgent(with_supplies(lacking(Printer(idle), {1, 3}), rows)), true, "YES", 0,
       kSuppliesLow, supplies},
      {"error status", SnmpAgent(failing), true, "YES", 0, ready},
      {"another community", SnmpAgent(Printer({kHrDeviceDown, kIdle, kHrOffline}, "private")), true, "YES", 0,
       ready},
      {"silent", [](const Datagram&) { return std::optional<Datagram>(); }, true, "YES", 0, ready},
      {"no agent", nullptr, true, "YES", 0, ready},
      {"not a printer", SnmpAgent(not_a_printer), true, "YES", 0, ready},
      {"no connection", SnmpAgent(Printer(idle)), false, "NO", PRINTER_STATUS_OFFLINE,
       "Not ready: the printer at {address} refuses the connection on port {port}. The printer takes no jobs on "
       "port {port}."},
  };
}

// `reason` with its "{where}", "{address}" and "{port}" filled in.
inline std::string ReasonAt(std::string reason, const std::string& address, int port) {
  for (const auto& [field, value] : {std::pair<std::string, std::string>{"{where}", address + " port " + std::to_string(port)},
                                     {"{address}", address}, {"{port}", std::to_string(port)}})
    for (auto at = reason.find(field); at != std::string::npos; at = reason.find(field))
      reason.replace(at, field.size(), value);
  return reason;
}

}  // namespace printing::testing
