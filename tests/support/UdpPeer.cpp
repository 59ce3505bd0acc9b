#include "UdpPeer.h"

#include <cctype>
#include <sstream>
#include <stdexcept>

#include "devices/Bjnp.h"
#include "devices/Snmp.h"

#include "PeerSockets.h"

namespace printing {

std::ostream& operator<<(std::ostream& out, const Supply& s) {
  return out << "{\"" << s.name << "\" " << s.level << "% mark " << s.mark << (s.fills ? " fills}" : "}");
}
std::ostream& operator<<(std::ostream& out, const AgentWord& word) {
  if (const auto& w = word.status) out << "{" << w->device_status << " " << w->printer_status << " " << w->errors << "} ";
  for (const Supply& supply : word.supplies) out << supply << " ";
  return out << (word.answered ? "answered" : "no answer");
}

}  // namespace printing

namespace printing::testing {
namespace {

using namespace sockets;

sockaddr_in At(const std::string& address, int port) {
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<std::uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) throw std::runtime_error("no IPv4 address: " + address);
  return at;
}

// A UDP socket on `port` of `address`, whose number goes to `port`.
Fd Bound(const std::string& address, int& port) {
  sockaddr_in at = At(address, port);
  const Fd fd = SocketsReady() ? socket(AF_INET, SOCK_DGRAM, 0) : kNone;
  socklen_t length = sizeof at;
  if (fd == kNone || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    if (fd != kNone) CloseFd(fd);
    throw std::runtime_error("cannot take UDP port " + std::to_string(port) + " of " + address);
  }
  port = ntohs(at.sin_port);
  return fd;
}

// BER, as an agent writes it (definite lengths, as short as they go).
Datagram Ber(std::uint8_t tag, const Datagram& content) {
  Datagram out{tag};
  const std::size_t n = content.size();
  if (n >= 0x100) out.insert(out.end(), {0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  else if (n >= 0x80) out.insert(out.end(), {0x81, static_cast<std::uint8_t>(n)});
  else out.push_back(static_cast<std::uint8_t>(n));
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Datagram operator+(Datagram a, const Datagram& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Datagram BerInteger(std::int32_t value) {
  Datagram content;
  std::int64_t v = value;
  do {
    content.insert(content.begin(), static_cast<std::uint8_t>(v & 0xFF));
    v >>= 8;  // arithmetic: a negative number ends in -1
  } while (!((v == 0 && content.front() < 0x80) || (v == -1 && content.front() >= 0x80)));
  return Ber(0x02, content);
}

// Whether OID `a` comes before `b` in the order of their numbers.
bool OidBefore(const std::string& a, const std::string& b) {
  const auto numbers = [](std::istringstream in, std::vector<unsigned long> arcs = {}) {
    for (std::string part; std::getline(in, part, '.');) arcs.push_back(std::stoul(part));
    return arcs;
  };
  return numbers(std::istringstream(a)) < numbers(std::istringstream(b));
}

Datagram BerOid(const std::string& dotted) {
  const SnmpValue oid = SnmpObjectId(dotted);
  return Ber(oid.tag, oid.content);
}

}  // namespace

UdpPeer::UdpPeer(Answer answer, int port, const std::string& address) {
  port_ = port;
  fd_ = static_cast<std::intptr_t>(Bound(address, port_));
  thread_ = std::thread([this, answer = std::move(answer)] { Serve(answer); });
}

UdpPeer::~UdpPeer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  CloseFd(static_cast<Fd>(fd_));
}

void UdpPeer::Serve(Answer answer) {
  const Fd fd = static_cast<Fd>(fd_);
  Datagram buffer(65536);
  while (!stop_) {
    if (!Readable(fd, 20)) continue;
    sockaddr_in from{};
    socklen_t length = sizeof from;
    // Windows reports here that an earlier answer's port was closed; that
    // ends nothing.
    const int got = static_cast<int>(recvfrom(fd, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()),
                                              0, reinterpret_cast<sockaddr*>(&from), &length));
    if (got < 0) continue;
    ++received_;
    if (const std::optional<Datagram> reply = answer(Datagram(buffer.begin(), buffer.begin() + got)))
      sendto(fd, reinterpret_cast<const char*>(reply->data()), static_cast<int>(reply->size()), 0,
             reinterpret_cast<const sockaddr*>(&from), length);
  }
}

SnmpValue SnmpInteger(std::int32_t value) {
  const Datagram ber = BerInteger(value);
  return {kSnmpInteger, Datagram(ber.begin() + 2, ber.end())};
}

SnmpValue SnmpString(const std::string& value) { return {kSnmpOctetString, Datagram(value.begin(), value.end())}; }

SnmpValue SnmpObjectId(const std::string& dotted) {
  std::istringstream in(dotted);
  std::vector<unsigned long> arcs;
  for (std::string part; std::getline(in, part, '.');) arcs.push_back(std::stoul(part));
  Datagram content;
  for (std::size_t i = 1; i < arcs.size(); ++i) {
    unsigned long arc = i == 1 ? arcs[0] * 40 + arcs[1] : arcs[i];
    Datagram groups{static_cast<std::uint8_t>(arc & 0x7F)};
    for (arc >>= 7; arc != 0; arc >>= 7) groups.insert(groups.begin(), static_cast<std::uint8_t>(0x80 | (arc & 0x7F)));
    content = content + groups;
  }
  return {kSnmpObjectId, content};
}

UdpPeer::Answer SnmpAgent(SnmpAgentSetup setup) {
  return [setup = std::move(setup)](const Datagram& request) {
    const std::optional<SnmpAnswer> get = ReadSnmpMessage(request.data(), request.size());
    std::optional<Datagram> none;
    if (!get || (get->pdu != kSnmpGetRequest && get->pdu != kSnmpGetNextRequest) || get->community != setup.community)
      return none;
    std::int32_t status = setup.error_status, index = setup.error_index;
    Datagram answered, echoed;
    for (std::size_t i = 0; i < get->bindings.size(); ++i) {
      const SnmpBinding& asked = get->bindings[i];
      auto known = setup.objects.find(asked.oid);
      if (get->pdu == kSnmpGetNextRequest) {
        // The table is in the order of strings: the next in the order of numbers is looked for.
        known = setup.objects.end();
        for (auto at = setup.objects.begin(); at != setup.objects.end(); ++at)
          if (OidBefore(asked.oid, at->first) && (known == setup.objects.end() || OidBefore(at->first, known->first)))
            known = at;
      }
      if (known == setup.objects.end() && status == kSnmpNoError && !setup.exceptions) {
        status = kSnmpNoSuchName;
        index = static_cast<std::int32_t>(i + 1);
      }
      if (known != setup.objects.end())
        answered = answered + Ber(0x30, BerOid(known->first) + Ber(known->second.tag, known->second.content));
      else
        answered = answered + Ber(0x30, BerOid(asked.oid) + Ber(get->pdu == kSnmpGetRequest ? kSnmpNoSuchObject
                                                                                               : kSnmpEndOfMibView,
                                                                  {}));
      echoed = echoed + Ber(0x30, BerOid(asked.oid) + Ber(asked.tag, asked.value));
    }
    const Datagram pdu = BerInteger(setup.answer_id.value_or(get->request_id)) + BerInteger(status) +
                         BerInteger(status == kSnmpNoError ? 0 : index) +
                         Ber(0x30, status == kSnmpNoError ? answered : echoed);
    return std::optional<Datagram>(
        Ber(0x30, BerInteger(0) + Ber(kSnmpOctetString, Datagram(setup.community.begin(), setup.community.end())) +
                      Ber(kSnmpGetResponse, pdu)));
  };
}

UdpPeer::Answer SnmpAgent(std::string community, std::string device_id) {
  return SnmpAgent({.community = std::move(community),
                    .objects = {{std::string(kHpDeviceIdOid), SnmpString(device_id)}}});
}

SnmpObjects HostPrinterObjects(int index, const HostPrinterStatus& status, const std::string& device_type) {
  const std::vector<std::string> oids = HostPrinterOids(index);
  // Bit k of the MIB is bit 7 - k % 8 of byte k / 8.
  std::string bits(status.errors > 0xFF ? 2 : 1, '\0');
  for (std::size_t k = 0; k < 16; ++k)
    if (status.errors >> k & 1) bits[k / 8] = static_cast<char>(bits[k / 8] | 0x80 >> (k % 8));
  return {{oids.at(0), SnmpObjectId(device_type)},
          {oids.at(1), SnmpInteger(status.device_status)},
          {oids.at(2), SnmpInteger(status.printer_status)},
          {oids.at(3), SnmpString(bits)}};
}

SnmpObjects SupplyObjects(int index, const std::vector<SupplyRow>& rows) {
  SnmpObjects objects;
  for (const SupplyRow& row : rows) {
    const std::vector<std::string> at = SupplyColumnOids(index, row.index);
    if (row.supply_class) objects[at.at(0)] = SnmpInteger(*row.supply_class);
    if (row.description) objects[at.at(1)] = SnmpString(*row.description);
    if (row.max_capacity) objects[at.at(2)] = SnmpInteger(*row.max_capacity);
    if (row.level) objects[at.at(3)] = SnmpInteger(*row.level);
  }
  return objects;
}

UdpPeer::Answer BjnpResponder(std::string device_id) {
  return [device_id = std::move(device_id)](const Datagram& request) {
    std::optional<Datagram> none;
    if (request.size() < kBjnpHeaderSize || std::string(request.begin(), request.begin() + 4) != "BJNP" ||
        request[4] != kBjnpPrinter || request[5] != kBjnpGetId)
      return none;
    const std::size_t payload = 2 + device_id.size();
    Datagram answer(request.begin(), request.begin() + kBjnpHeaderSize);
    answer[4] = kBjnpPrinter | kBjnpAnswer;
    for (int i = 0; i < 4; ++i) answer[12 + i] = static_cast<std::uint8_t>(payload >> (24 - 8 * i));
    answer.push_back(static_cast<std::uint8_t>(payload >> 8));
    answer.push_back(static_cast<std::uint8_t>(payload));
    answer.insert(answer.end(), device_id.begin(), device_id.end());
    return std::optional<Datagram>(answer);
  };
}

UdpPeer::Answer NameServer(std::map<std::string, std::string> names) {
  return [names = std::move(names)](const Datagram& query) {
    std::optional<Datagram> none;
    // The header, then one question: its name's labels, its type and class.
    if (query.size() < 12 || (query[2] & 0x80) != 0 || query[4] != 0 || query[5] != 1) return none;
    std::string name;
    std::size_t at = 12;
    while (at < query.size() && query[at] != 0) {
      const std::size_t length = query[at];
      if (length > 63 || at + 1 + length >= query.size()) return none;
      if (!name.empty()) name += '.';
      for (std::size_t i = 0; i < length; ++i)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(query[at + 1 + i])));
      at += 1 + length;
    }
    if (at + 5 > query.size()) return none;
    const std::size_t question_end = at + 5;
    const bool type_a = query[at + 1] == 0 && query[at + 2] == 1;
    if (name.size() >= 12 && name.compare(name.size() - 12, 12, ".silent.test") == 0) return none;
    const auto known = names.find(name);
    sockaddr_in address{};
    const bool answers = known != names.end() && type_a && inet_pton(AF_INET, known->second.c_str(), &address.sin_addr) == 1;
    // The query's id, a response with its opcode and recursion asked, the
    // server's recursion, and NXDOMAIN (3) for a name it does not know.
    Datagram reply(query.begin(), query.begin() + static_cast<std::ptrdiff_t>(question_end));
    reply[2] = static_cast<std::uint8_t>(0x84 | (query[2] & 0x79));
    reply[3] = static_cast<std::uint8_t>(0x80 | (known == names.end() ? 3 : 0));
    reply[6] = 0;
    reply[7] = answers ? 1 : 0;
    for (std::size_t i = 8; i < 12; ++i) reply[i] = 0;
    if (answers) {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(&address.sin_addr);
      // Its name by a pointer to the question's, type A, class IN, 60 s.
      reply = reply + Datagram{0xC0, 12, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, bytes[0], bytes[1], bytes[2], bytes[3]};
    }
    return std::optional<Datagram>(reply);
  };
}

int ClosedUdpPort() {
  int port = 0;
  CloseFd(Bound("127.0.0.1", port));
  return port;
}

std::optional<Datagram> AskUdp(int port, const Datagram& request, std::chrono::milliseconds wait,
                               const std::string& address) {
  const sockaddr_in to = At(address, port);
  const Fd fd = SocketsReady() ? socket(AF_INET, SOCK_DGRAM, 0) : kNone;
  if (fd == kNone) return std::nullopt;
  std::optional<Datagram> answer;
  // Connected, so that only the port's answer is taken, and its refusal seen.
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
      send(fd, reinterpret_cast<const char*>(request.data()), static_cast<int>(request.size()), 0) ==
          static_cast<int>(request.size()) &&
      Readable(fd, static_cast<int>(wait.count()))) {
    Datagram buffer(65536);
    const int got = static_cast<int>(recv(fd, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0));
    if (got >= 0) answer = Datagram(buffer.begin(), buffer.begin() + got);
  }
  CloseFd(fd);
  return answer;
}

}  // namespace printing::testing
