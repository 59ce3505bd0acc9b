// The reader of SNMP answers over bytes that no agent sent, and the GET
// request over any community and OID: the same input stands for both.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devices/Snmp.h"

namespace {

using printing::ReadSnmpAnswer;
using printing::ReadSnmpMessage;
using printing::SnmpAnswer;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "snmp_fuzzer: %s\n", what);
    std::abort();
  }
}

bool Same(const SnmpAnswer& a, const SnmpAnswer& b) {
  return a.pdu == b.pdu && a.community == b.community && a.request_id == b.request_id &&
         a.error_status == b.error_status && a.error_index == b.error_index && a.oid == b.oid &&
         a.value_tag == b.value_tag && a.value == b.value;
}

// `dotted` with each number in its shortest form, or nothing when it is no OID
// that a request can carry.
std::optional<std::string> Canonical(std::string_view dotted) {
  std::vector<std::uint64_t> arcs;
  std::string out;
  std::size_t at = 0;
  while (true) {
    const std::size_t end = std::min(dotted.find('.', at), dotted.size());
    const std::string_view part = dotted.substr(at, end - at);
    if (part.empty() || part.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    const std::string_view digits = part.substr(std::min(part.find_first_not_of('0'), part.size() - 1));
    if (digits.size() > 10) return std::nullopt;
    arcs.push_back(std::stoull(std::string(digits)));
    if (arcs.back() > 0xFFFFFFFFu) return std::nullopt;
    out += (out.empty() ? "" : ".") + std::string(digits);
    if (end == dotted.size()) break;
    at = end + 1;
  }
  if (arcs.size() < 2 || arcs.size() > printing::kSnmpMaxOidArcs || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] > 39) ||
      arcs[0] * 40 + arcs[1] > 0xFFFFFFFFu)
    return std::nullopt;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<SnmpAnswer> message = ReadSnmpMessage(data, size);
  const std::optional<SnmpAnswer> answer = ReadSnmpAnswer(data, size);
  Check(answer.has_value() == (message && message->pdu == printing::kSnmpGetResponse),
        "an answer is not the message of a GetResponse");
  if (message) {
    Check(size <= printing::kSnmpMaxMessage, "a message of impossible size");
    Check(message->community.size() + message->value.size() < size, "parts longer than the message");
    Check((message->value_tag == 0) == message->oid.empty(), "a value without OID, or an OID without value");
    // What is read stays as it is read, with bytes after it too.
    std::vector<std::uint8_t> longer(data, data + size);
    longer.insert(longer.end(), {0x30, 0x00, 0xFF});
    const std::optional<SnmpAnswer> again = ReadSnmpMessage(longer.data(), longer.size());
    Check(longer.size() > printing::kSnmpMaxMessage || (again && Same(*message, *again)), "bytes after the message");
    // Every OID read can be asked for, and is read back the same.
    if (!message->oid.empty()) {
      const std::vector<std::uint8_t> request = printing::SnmpGetRequest("public", message->oid, message->request_id);
      const std::optional<SnmpAnswer> asked = ReadSnmpMessage(request.data(), request.size());
      Check(asked && asked->oid == message->oid && asked->request_id == message->request_id,
            "an OID read that a request does not carry");
    }
  }

  // The request: the first byte says how much of the rest is the community,
  // the next four are the request-id, what is left is the OID.
  if (size < 5) return 0;
  const std::size_t community_size = std::min<std::size_t>(data[0] * 2u, size - 5);
  const std::string_view community(reinterpret_cast<const char*>(data + 5), community_size);
  const std::int32_t request_id = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(data[1]) << 24 | data[2] << 16 | data[3] << 8 | data[4]);
  const std::string_view oid(reinterpret_cast<const char*>(data + 5 + community_size), size - 5 - community_size);
  const std::vector<std::uint8_t> request = printing::SnmpGetRequest(community, oid, request_id);
  const std::optional<std::string> canonical = Canonical(oid);
  Check(request.empty() == (!canonical || community.size() > printing::kSnmpMaxCommunity),
        "a request made or refused against its OID and community");
  if (request.empty()) return 0;
  const std::optional<SnmpAnswer> read = ReadSnmpMessage(request.data(), request.size());
  Check(read && read->pdu == printing::kSnmpGetRequest && read->community == community &&
            read->request_id == request_id && read->error_status == 0 && read->error_index == 0 &&
            read->oid == *canonical && read->value_tag == printing::kSnmpNull && read->value.empty(),
        "the request does not read as what it asks");
  Check(!ReadSnmpAnswer(request.data(), request.size()), "the request reads as an answer");
  return 0;
}
