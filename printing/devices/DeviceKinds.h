// The kinds of device that a device check knows, one way of asking each:
// the table in DeviceKinds.cpp maps a device URI's scheme to it. A new kind
// is a row there and a function here, in a file of its own.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "DeviceCheck.h"

namespace printing {

// Where a device is asked, as a person reads it: "HOST port N" ("N or M").
std::string WhereAt(const std::string& host, const std::vector<int>& ports);

// What one check of a device has to work with.
struct DeviceQuery {
  Transport& transport;
  const Deadline& deadline;
  bool describe = false;
  int depth = 0;  // URIs inside URIs (beh:/) looked into so far
  SnmpAccess snmp = {};  // how a raw or LPD printer's agent is asked
};

using AskDevice = DeviceState (*)(const std::string& device_uri, const DeviceQuery& query);

struct DeviceKind {
  std::string_view scheme;  // in lower case, without the ':'
  AskDevice ask;
};

// Every kind, by scheme.
std::span<const DeviceKind> DeviceKinds();

// Checks `device_uri` as its kind asks, within the query's deadline: the
// dispatch that CheckDevice starts and a URI inside another goes through.
DeviceState CheckInside(const std::string& device_uri, const DeviceQuery& query);

// IppDevice.cpp: ipp, ipps, http, https: Get-Printer-Attributes.
DeviceState AskIppPrinter(const std::string& device_uri, const DeviceQuery& query);
// What an IPP printer's reply says of it.
DeviceState FromIppReply(const IppReply& reply);

// TcpDevice.cpp: socket (raw) and lpd: the device takes a TCP connection
// and does not hang up within kHangUpWait: one that hangs up at once takes
// no job either. Its SNMP agent is asked at the same time, as the query's
// SnmpAccess says, for what the printer says of itself (Host Resources MIB).
inline constexpr std::chrono::milliseconds kHangUpWait{200};
// How long a printer's agent has for the rest of its conversation once the
// device has answered (a raw or LPD port's connection holds, an HP printer's
// agent answered the first request), never past the check's deadline.
inline constexpr std::chrono::milliseconds kAgentWait{300};
DeviceState AskTcpPort(const std::string& device_uri, const DeviceQuery& query);

// The server of an smb:// device URI,
// smb://[USER[:PASSWORD]@][WORKGROUP/]SERVER[:PORT]/PRINTER.
struct SmbServer {
  std::string host;
  int port = 0;  // none given
};
std::optional<SmbServer> SplitSmbUri(std::string_view uri);
// TcpDevice.cpp: smb: the print server takes a TCP connection on the URI's
// port, else on 445 or 139. Nothing is sent.
DeviceState AskSmbServer(const std::string& device_uri, const DeviceQuery& query);

// BehDevice.cpp: beh:/DD/ATTEMPTS/DELAY/URI: the device of the URI inside.
DeviceState AskBehindBeh(const std::string& device_uri, const DeviceQuery& query);

// A request id of its own for each SNMP request of the program.
std::int32_t NewSnmpRequestId();

// HpDevice.cpp: HPLIP's hp and hpfax: on the network (/net/), the printer
// answers SNMP as HPLIP asks it; on USB (/usb/), it is on the bus.
DeviceState AskHpPrinter(const std::string& device_uri, const DeviceQuery& query);

// BjnpDevice.cpp: Canon's bjnp: the printer answers a BJNP get-ID command.
DeviceState AskBjnpPrinter(const std::string& device_uri, const DeviceQuery& query);

// UsbDevice.cpp: usb, and HPLIP's hp:/usb/: the printer is on the bus.
DeviceState AskUsbPrinter(const std::string& device_uri, const DeviceQuery& query);

// DeviceKinds.cpp: dnssd: the platform resolves the service and asks it.
DeviceState AskService(const std::string& device_uri, const DeviceQuery& query);

}  // namespace printing
