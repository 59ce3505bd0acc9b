// Which network device a port of the Windows spooler names, so that the
// device itself can be asked (CheckDevice, DeviceCheck.h).
#pragma once
#include <optional>
#include <string>

#include "Bounded.h"
#include "DeviceCheck.h"

namespace printing {

// The device behind the spooler's port `port` (its name, UTF-8) as a device
// URI, or nothing for a port that names no network device (USB, LPT, COM,
// FILE: and the other local ports):
//
// - a Standard TCP/IP port: "socket://HOST:PORT" (raw) or
//   "lpd://HOST:PORT/QUEUE" (LPR), from its port monitor (XcvData
//   "GetConfigInfo"), else from its key in the registry;
// - a port named by an http:// or https:// URL: that URL;
// - a port of the WSD and IPP port monitor: the device's IPP URL, or for a
//   WSD device "socket://HOST:PORT" of its URL (XcvData "GetAPPortInfo").
//
// With it, whether and how the printer's SNMP agent is asked: for a Standard
// TCP/IP port, as its configuration says (SNMP status enabled, its community
// and device index); an administrator who turned it off is heeded.
//
// The port monitor's calls run under `bounds` and are given up on at the
// deadline.
struct PortedDevice {
  std::string uri;
  SnmpAccess snmp;
};
std::optional<PortedDevice> PortDevice(const std::string& port, const Deadline& deadline, Bounds& bounds);

}  // namespace printing
