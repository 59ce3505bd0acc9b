// Asks a printer's device itself whether it is there and ready, since a
// print system keeps a printer "idle" until a job fails on it. Reads only:
// nothing that prints, changes anything or carries a password is sent. Each
// kind of device (a device URI's scheme) is asked in its own way, through the
// one table of DeviceKinds.cpp; how a request reaches the device is the
// platform's Transport. Bounded in time whatever the network does.
#pragma once
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "Bounded.h"
#include "DeviceState.h"
#include "DeviceUri.h"
#include "IppMessage.h"

namespace printing {


// Whether a device answered, and said nothing that keeps it from printing
// (DeviceStatus.cpp).
bool Ready(const DeviceState& device);

// Whether the printer that a USB device URI names is on this machine's bus.
enum class UsbPresence {
  NotUsb,   // not a USB printer's device URI
  Unknown,  // the platform cannot tell (no USB bus shown, or not looked at)
  Present,  // a printer on the bus is the one the URI names
  Absent,   // no printer on the bus is
};

// What an IPP printer answered to Get-Printer-Attributes.
struct IppReply {
  bool answered = false;    // a status line came back by the deadline
  Step step = Step::Silent;  // when it did not: the step that failed
  std::string address;       // the numeric address asked (or of the furthest attempt)
  int http_status = 0;      // its HTTP status
  std::optional<IppAnswer> ipp;  // the IPP message, when one came whole
  // With `describe`: what the printer says of itself.
  std::optional<std::string> make_and_model, info, location;
  std::int32_t jobs = 0;
  std::int32_t pages_per_minute = 0;
};

// The numeric addresses of a host; when there are none, why: no name server
// knows the name (NameUnknown), or none answered in time (NameServerSilent).
struct Addresses : std::vector<std::string> {
  Step failed = Step::NameUnknown;
};

// How one platform reaches a device: its name lookups, connections,
// datagrams and IPP requests. Every call ends by the deadline.
class Transport {
 public:
  virtual ~Transport() = default;

  // The numeric addresses of `host` (for `port`), none when the lookup fails
  // or is not done by the deadline.
  virtual Addresses Lookup(const std::string& host, int port, const Deadline& deadline) = 0;
  // Whether the device at the numeric `address` takes a TCP connection to
  // `port` by the deadline and, for `hold`, does not hang up (Answered), or
  // which step failed: NoRoute, Silent (also at the deadline, and when a
  // stop is asked for, which ends the wait at once), Refused or HungUp.
  // Nothing is sent.
  virtual Step Connects(const std::string& address, int port, std::chrono::milliseconds hold,
                        const Deadline& deadline, std::stop_token stop = {}) = 0;
  // Sends `datagram` over UDP to the numeric `address` and `port`; the first
  // answer from there by the deadline (or a stop asked for), or nothing; an
  // ICMP refusal ends the wait at once.
  virtual std::optional<std::vector<std::uint8_t>> Exchange(const std::string& address, int port,
                                                            const std::vector<std::uint8_t>& datagram,
                                                            const Deadline& deadline, std::stop_token stop = {}) = 0;
  // One Get-Printer-Attributes exchange with the printer `uri` names
  // (ipp, ipps, http or https), its host looked up by the transport.
  virtual IppReply AskIpp(const DeviceUri& uri, bool describe, const Deadline& deadline) = 0;
  // A DNS-SD service's device URI ("dnssd://Name._ipp._tcp.local/"), asked
  // where the platform resolves such names; not checked elsewhere.
  virtual DeviceState AskService(const std::string& /*device_uri*/, const Deadline& /*deadline*/) { return {}; }
  // Whether the USB printer of `device_uri` is on this machine's bus.
  virtual UsbPresence FindUsb(const std::string& /*device_uri*/) { return UsbPresence::Unknown; }
};

// Whether and how a printer's SNMP agent is asked for its state (a raw or
// LPD device's): in which community, and for which of its devices.
struct SnmpAccess {
  bool ask = true;
  std::string community = "public";
  int index = 1;  // the printer's hrDeviceIndex
};

// Where a connection that the platform made its own way failed without
// saying how far it got: connects to `port` of `address` once more, at once
// (a refusal, or no route, comes at once; a silent device is not waited for
// again), and notes in `failed` the step and address where they go further.
// A connection that holds now says no more than silence.
void ConnectAgain(Transport& transport, const std::string& address, int port, const Deadline& deadline,
                  IppReply& failed);

// Checks the device at `device_uri` by the deadline; with `describe`, an IPP
// device is also asked for its make and model, description, location,
// queued jobs and pages per minute.
DeviceState CheckDevice(const std::string& device_uri, Transport& transport, const Deadline& deadline,
                        bool describe = false, const SnmpAccess& snmp = {});

// Runs all of `calls` at once, each on a thread of its own, and gives their
// results in order once all have returned. An exception of one passes to
// the caller once all have ended.
template <class Result>
std::vector<Result> AllAtOnce(const std::vector<std::function<Result()>>& calls) {
  std::vector<std::optional<Result>> results(calls.size());
  std::vector<std::exception_ptr> errors(calls.size());
  {
    std::vector<std::jthread> threads;
    for (std::size_t i = 0; i < calls.size(); ++i)
      threads.emplace_back([&, i] {
        try {
          results[i] = calls[i]();
        } catch (...) {
          errors[i] = std::current_exception();
        }
      });
  }
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);
  std::vector<Result> out;
  for (auto& result : results) out.push_back(std::move(*result));
  return out;
}

// Asks all of `asks` at once, each within its own bound: the first answer
// that is ready, else the first that answered, else the first.
DeviceState AskAll(const std::vector<std::function<DeviceState()>>& asks);

// The numeric addresses of `host` for `port`: at once when it is numeric,
// else by `addresses(host, service)` under `bounds`, given up on at the
// deadline (a system's resolver takes no timeout).
// A lookup that is not done by the deadline has had no answer from a name
// server.
Addresses Resolve(const std::string& host, int port, const Deadline& deadline, Bounds& bounds,
                  const std::function<Addresses(const std::string& host, const std::string& service,
                                                bool numeric_only)>& addresses);

// The further of two steps (Step's order).
inline Step Further(Step a, Step b) { return a < b ? b : a; }

}  // namespace printing
