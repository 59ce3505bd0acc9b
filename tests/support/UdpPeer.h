// Devices on a UDP port of loopback (on Linux and Windows) for the checks that
// ask a device over UDP: a printer's SNMP agent, a Canon printer's BJNP
// service, and a port where nobody answers.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "devices/Snmp.h"

namespace printing {
// How a test's failure shows them.
std::ostream& operator<<(std::ostream& out, const Supply& supply);
std::ostream& operator<<(std::ostream& out, const AgentWord& word);
}  // namespace printing

namespace printing::testing {

using Datagram = std::vector<std::uint8_t>;

// Answers each datagram it receives with what `answer` makes of it (nothing:
// no answer), on a thread of its own, until it goes.
class UdpPeer {
 public:
  using Answer = std::function<std::optional<Datagram>(const Datagram& request)>;

  // On `port` of `address` (0: a free port). Throws std::runtime_error when
  // it cannot take the port.
  explicit UdpPeer(Answer answer, int port = 0, const std::string& address = "127.0.0.1");
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  int Port() const { return port_; }
  // Datagrams received so far.
  int Received() const { return received_; }

 private:
  void Serve(Answer answer);

  std::intptr_t fd_ = -1;
  int port_ = 0;
  std::atomic<int> received_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// An SNMP value as an agent sends it: its BER tag and content.
struct SnmpValue {
  std::uint8_t tag = 0;
  Datagram content;
};
SnmpValue SnmpInteger(std::int32_t value);
SnmpValue SnmpString(const std::string& value);
SnmpValue SnmpObjectId(const std::string& dotted);  // "1.3.6.1..."

// An agent's objects: dotted OID to value.
using SnmpObjects = std::map<std::string, SnmpValue>;

struct SnmpAgentSetup {
  std::string community;
  SnmpObjects objects;
  // When not noError, every GetRequest gets this error-status and
  // error_index, with its bindings as they came.
  std::int32_t error_status = 0;
  std::int32_t error_index = 0;
  // When given, every answer carries this request-id rather than the request's.
  std::optional<std::int32_t> answer_id = std::nullopt;
  // Whether an object it lacks gets an exception value in its binding
  // (noSuchObject; endOfMibView past its last object), as SNMPv2 agents and
  // some SNMPv1 ones answer, rather than noSuchName for the whole request.
  bool exceptions = false;
};

// An SNMPv1 agent, as printers have: a GetRequest in its community whose
// objects are all in its table gets a GetResponse with their values, in the
// request's order; a GetNextRequest the same for the object that follows
// each OID in the table (in the numeric order of OIDs). Where it lacks one
// (one asked for, none after), it answers error-status noSuchName,
// error-index the first such binding (counted from 1) and the request's
// bindings as they came, or with `exceptions` an exception value there.
// Another community, another version or PDU, and bytes that are no SNMP (or
// more than kSnmpMaxBindings bindings) get no answer.
UdpPeer::Answer SnmpAgent(SnmpAgentSetup setup);
// An HP printer's: its table holds the device ID (kHpDeviceIdOid) alone,
// `device_id` ("MFG:HP;MDL:...;").
UdpPeer::Answer SnmpAgent(std::string community, std::string device_id);

// The four Host Resources objects (printing::HostPrinterOids) of a device at
// `index` of the hrDeviceTable, of the hrDeviceType `device_type`, in the
// state `status` says. The error bits go in one byte when none is beyond the
// first 8, else in two. Tests erase what the agent should lack. For instance,
// a printer at index 1 that is down with the offline bit:
//   SnmpAgent({"public", HostPrinterObjects(1, {.device_status = kHrDeviceDown, .errors = kHrOffline})})
SnmpObjects HostPrinterObjects(int index, const HostPrinterStatus& status,
                               const std::string& device_type = std::string(kHrDevicePrinter));

// The rows of a printer's supplies table (SupplyRow's values; one left out
// is not in the table), of the printer at `index`.
SnmpObjects SupplyObjects(int index, const std::vector<SupplyRow>& rows);

// A Canon printer's BJNP service: a printer's get-ID command gets the header
// "BJNP", 0x81, 0x30, with the command's sequence number, and the payload
// `device_id` after its 2-byte length (which counts itself). Anything else
// gets no answer.
UdpPeer::Answer BjnpResponder(std::string device_id);

// The address of the tests' name server: tests/support/resolv.conf names it,
// and scripts/own-resolver puts that file in the place of the machine's own
// for the test programs that ask names of their own. (Under wine a socket
// bound to a loopback address listens on all of them and answers from
// 127.0.0.1, which a resolver takes only from the address it asked.)
inline constexpr const char* kTestNameServer = "127.0.0.1";

// A name server on port 53: a name of `names` (in lower case) answers a
// query for its IPv4 address (type A) with `names`' address, and any other
// query with no record; a name that ends in ".silent.test" gets no answer
// at all; any other name is not known (NXDOMAIN).
UdpPeer::Answer NameServer(std::map<std::string, std::string> names);

// A UDP port of 127.0.0.1 that nobody receives on.
int ClosedUdpPort();

// Sends `request` to `port` of `address` and waits up to `wait` for a datagram
// back: nothing when none comes or the port is refused.
std::optional<Datagram> AskUdp(int port, const Datagram& request, std::chrono::milliseconds wait,
                               const std::string& address = "127.0.0.1");

}  // namespace printing::testing
