// Asks a queue's network device itself whether it is there and ready, since
// a scheduler keeps a queue "idle" until a job fails on it. Reads only: an
// IPP Get-Printer-Attributes request, or a TCP connection that is closed at
// once without sending anything. Bounded in time whatever the network does.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Bounded.h"

namespace printing {

struct DeviceState {
  enum Kind {
    NotChecked,   // a local device, or a URI this check does not handle
    Unreachable,  // no answer in time: no address, refused, dropped or silent
    Reachable,    // it answered (socket, lpd: it took the connection)
  } kind = NotChecked;
  bool has_state = false;  // an IPP device described itself
  bool stopped = false;
  bool accepting = true;
  std::int32_t status = 0;  // PRINTER_STATUS_* bits of its state and reasons
  // What an IPP device says of itself, when asked to describe itself.
  std::optional<std::string> make_and_model, info, location;
  std::int32_t jobs = 0;
  std::int32_t pages_per_minute = 0;
};

// Looks up the numeric addresses of a host, for a port, by the deadline.
using HostLookup = std::function<std::vector<std::string>(const std::string& host, int port, const Deadline&)>;

// The numeric addresses that the system's resolver gives for `host` and
// `service`, at once; with `numeric_only` only when `host` is an address
// itself, so that nothing is looked up. Each platform's check has its own.
std::vector<std::string> HostAddresses(const std::string& host, const std::string& service, bool numeric_only);

// The numeric addresses of `host` (for connecting to `port`), or none when
// the lookup fails or is not done by the deadline: libcups itself puts no
// bound on name lookups.
std::vector<std::string> Resolve(const std::string& host, int port, const Deadline& deadline, Bounds& bounds);

// Checks the device at `device_uri` within `budget`. What cannot be
// interrupted (a name lookup, a DNS-SD resolution) runs under `bounds`.
DeviceState CheckDevice(const std::string& device_uri, std::chrono::milliseconds budget, Bounds& bounds);

#ifndef _WIN32
// The same, with host names looked up by `lookup` (else by Resolve()); with
// `describe`, an IPP device is also asked for its make and model,
// description, location, queued jobs and pages per minute.
DeviceState CheckDevice(const std::string& device_uri, std::chrono::milliseconds budget, Bounds& bounds,
                        const HostLookup& lookup, bool describe = false);
#endif

}  // namespace printing
