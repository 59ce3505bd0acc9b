// The reader of SNMP answers over bytes that no agent sent, with what a
// printer says through the Host Resources MIB, a row of its supplies table,
// its supplies' names and levels, what is asked again after an error, and a
// whole conversation with an agent that answers those bytes each time; and
// the GET and GETNEXT requests over any community and OIDs: the same input
// stands for all.
#include <algorithm>
#include <climits>
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
using printing::SnmpBinding;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "snmp_fuzzer: %s\n", what);
    std::abort();
  }
}

bool Same(const SnmpAnswer& a, const SnmpAnswer& b) {
  return a.pdu == b.pdu && a.community == b.community && a.request_id == b.request_id &&
         a.error_status == b.error_status && a.error_index == b.error_index &&
         std::equal(a.bindings.begin(), a.bindings.end(), b.bindings.begin(), b.bindings.end(),
                    [](const SnmpBinding& x, const SnmpBinding& y) {
                      return x.oid == y.oid && x.tag == y.tag && x.value == y.value;
                    });
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

// What a binding's helpers give, against its tag and bytes.
void CheckValue(const SnmpBinding& binding) {
  const std::vector<std::uint8_t>& v = binding.value;
  const bool integer = binding.tag == printing::kSnmpInteger && !v.empty() && v.size() <= 4;
  Check(binding.Integer().has_value() == integer, "an INTEGER read against its tag and size");
  if (integer) {
    std::int64_t value = static_cast<std::int8_t>(v[0]);
    for (std::size_t i = 1; i < v.size(); ++i) value = value * 256 + v[i];
    Check(*binding.Integer() == value, "an INTEGER of other bytes");
  }
  const std::optional<std::string> octets = binding.OctetString();
  Check(octets.has_value() == (binding.tag == printing::kSnmpOctetString) &&
            (!octets || std::equal(octets->begin(), octets->end(), v.begin(), v.end(),
                                   [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; })),
        "an OCTET STRING of another tag or other bytes");
  const std::optional<std::string> oid = binding.ObjectId();
  Check(!oid || (binding.tag == printing::kSnmpObjectId && Canonical(*oid) == *oid), "an OID value of another tag");
  Check(binding.Exception() == (binding.tag >= 0x80 && binding.tag <= 0x82), "an exception of another tag");
}

// What the printer at `index` says in `message`, against the message itself.
void CheckHostPrinter(const SnmpAnswer& message, int index) {
  const std::optional<printing::HostPrinterStatus> word =
      printing::ReadHostPrinterStatus(message, message.request_id, message.community, index);
  const std::vector<std::string> oids = printing::HostPrinterOids(index);
  Check(oids.size() == 4, "not four objects for a printer");
  // The first binding of each object, if any.
  const SnmpBinding* found[4] = {};
  for (std::size_t i = 0; i < 4; ++i)
    for (auto at = message.bindings.rbegin(); at != message.bindings.rend(); ++at)
      if (at->oid == oids[i]) found[i] = &*at;
  const bool printer = found[0] && found[0]->tag == printing::kSnmpObjectId &&
                       found[0]->ObjectId() == std::string(printing::kHrDevicePrinter);
  Check(word.has_value() == (message.pdu == printing::kSnmpGetResponse && message.error_status == 0 && printer),
        "a printer's word against its answer");
  if (!word) return;
  Check(word->device_status == (found[1] ? found[1]->Integer().value_or(0) : 0) &&
            word->printer_status == (found[2] ? found[2]->Integer().value_or(0) : 0),
        "statuses other than the answer's");
  std::uint16_t errors = 0;
  if (found[3] && found[3]->tag == printing::kSnmpOctetString)
    for (std::size_t byte = 0; byte < std::min<std::size_t>(2, found[3]->value.size()); ++byte)
      for (int bit = 0; bit < 8; ++bit)  // the most significant first
        if (found[3]->value[byte] & (0x80 >> bit)) errors = static_cast<std::uint16_t>(errors | 1u << (byte * 8 + bit));
  Check(word->errors == errors, "error bits other than the answer's");
  Check(!printing::ReadHostPrinterStatus(message, message.request_id ^ 1, message.community, index) &&
            !printing::ReadHostPrinterStatus(message, message.request_id, message.community + "x", index),
        "a printer's word for another request");
}

// Whether `text` is UTF-8 with no control character (C0, DEL, C1).
bool CleanUtf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    std::uint32_t point = byte(at);
    std::size_t length = point < 0x80 ? 1 : point >= 0xF0 ? 4 : point >= 0xE0 ? 3 : point >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return false;
    if (length > 1) point &= 0x3F >> (length - 1);
    for (std::size_t i = 1; i < length; ++i) {
      if ((byte(at + i) & 0xC0) != 0x80) return false;
      point = point << 6 | (byte(at + i) & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
    if (point < 0x20 || (point >= 0x7F && point <= 0x9F)) return false;
    at += length;
  }
  return true;
}

// A supply's name and level, against its bytes and values.
void CheckSupply(const printing::SupplyRow& row) {
  const printing::Supply supply = printing::SupplyOf(row);
  Check(supply.name.size() <= printing::kMaxSupplyName && CleanUtf8(supply.name) &&
            (supply.name.empty() || (supply.name.front() != ' ' && supply.name.back() != ' ')),
        "a name that is no clean UTF-8 of its bound");
  const std::string bytes = row.description.value_or("");
  if (bytes.size() <= printing::kMaxSupplyName && CleanUtf8(bytes) &&
      (bytes.empty() || (bytes.front() != ' ' && bytes.back() != ' ')))
    Check(supply.name == bytes, "a clean name changed");
  Check(supply.level >= -3 && supply.level <= 100 && supply.mark == -1 &&
            supply.fills == (row.supply_class == printing::kReceptacleThatIsFilled),
        "a level, mark or class beyond the bounds");
  const bool known = row.level && *row.level >= 0 && row.max_capacity && *row.max_capacity > 0;
  Check(known == (supply.level >= 0), "a level known against its values");
}

// The supply of `oid` in `column` of printer `index`, as the table's rows are numbered.
std::optional<std::uint64_t> SupplyIndex(const std::string& oid, std::string_view column, int index) {
  const std::string prefix = std::string(column) + "." + std::to_string(index) + ".";
  if (oid.rfind(prefix, 0) != 0 || oid.size() == prefix.size() ||
      oid.find_first_not_of("0123456789", prefix.size()) != std::string::npos || oid.size() - prefix.size() > 10)
    return std::nullopt;
  return std::stoull(oid.substr(prefix.size()));
}

// The row of printer `index` after `after` in `message`, against the message.
void CheckSupplyRow(const SnmpAnswer& message, int index, std::uint32_t after) {
  const std::optional<printing::SupplyRow> row =
      printing::ReadSupplyRow(message, message.request_id, message.community, index, after);
  const std::string_view columns[] = {printing::kPrtMarkerSuppliesClass, printing::kPrtMarkerSuppliesDescription,
                                      printing::kPrtMarkerSuppliesMaxCapacity, printing::kPrtMarkerSuppliesLevel};
  std::optional<std::uint64_t> lowest;
  if (message.pdu == printing::kSnmpGetResponse && message.error_status == 0 && message.bindings.size() == 4)
    for (std::size_t i = 0; i < 4; ++i) {
      const std::optional<std::uint64_t> at = SupplyIndex(message.bindings[i].oid, columns[i], index);
      if (at && *at > after && !message.bindings[i].Exception() && (!lowest || *at < *lowest)) lowest = at;
    }
  Check(row.has_value() == (lowest && *lowest <= 0xFFFFFFFFu), "a row against its answer");
  if (!row) return;
  Check(row->index == *lowest, "a row other than the lowest");
  const auto given = [&](std::size_t i) { return SupplyIndex(message.bindings[i].oid, columns[i], index) == lowest; };
  Check(row->supply_class == (given(0) ? message.bindings[0].Integer() : std::nullopt) &&
            row->description == (given(1) ? message.bindings[1].OctetString() : std::nullopt) &&
            row->max_capacity == (given(2) ? message.bindings[2].Integer() : std::nullopt) &&
            row->level == (given(3) ? message.bindings[3].Integer() : std::nullopt),
        "a row's values other than its columns'");
  Check(!printing::ReadSupplyRow(message, message.request_id, message.community, index, row->index) ||
            printing::ReadSupplyRow(message, message.request_id, message.community, index, row->index)->index >
                row->index,
        "a row that does not move on");
  CheckSupply(*row);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<SnmpAnswer> message = ReadSnmpMessage(data, size);
  const std::optional<SnmpAnswer> answer = ReadSnmpAnswer(data, size);
  Check(answer.has_value() == (message && message->pdu == printing::kSnmpGetResponse),
        "an answer is not the message of a GetResponse");
  if (message) {
    Check(size <= printing::kSnmpMaxMessage, "a message of impossible size");
    Check(message->bindings.size() <= printing::kSnmpMaxBindings, "more bindings than are read");
    std::size_t parts = message->community.size();
    for (const SnmpBinding& binding : message->bindings) {
      parts += binding.value.size();
      Check(binding.tag != 0 && !binding.oid.empty(), "a binding without OID or value");
      CheckValue(binding);
    }
    Check(parts < size, "parts longer than the message");
    // What is read stays as it is read, with bytes after it too.
    std::vector<std::uint8_t> longer(data, data + size);
    longer.insert(longer.end(), {0x30, 0x00, 0xFF});
    const std::optional<SnmpAnswer> again = ReadSnmpMessage(longer.data(), longer.size());
    Check(longer.size() > printing::kSnmpMaxMessage || (again && Same(*message, *again)), "bytes after the message");
    // Every OID read can be asked for, all at once, and is read back the same.
    if (!message->bindings.empty()) {
      std::vector<std::string> oids;
      for (const SnmpBinding& binding : message->bindings) oids.push_back(binding.oid);
      const std::vector<std::uint8_t> request = printing::SnmpGetRequest("public", oids, message->request_id);
      const std::optional<SnmpAnswer> asked = ReadSnmpMessage(request.data(), request.size());
      Check(asked && asked->request_id == message->request_id && asked->bindings.size() == oids.size() &&
                std::equal(oids.begin(), oids.end(), asked->bindings.begin(),
                           [](const std::string& oid, const SnmpBinding& b) { return b.oid == oid; }),
            "an OID read that a request does not carry");
    }
    // What is asked again after it: all but the object an SNMPv1 agent lacks.
    std::vector<std::string> asked;
    for (const SnmpBinding& binding : message->bindings) asked.push_back(binding.oid);
    const std::optional<std::vector<std::string>> asked_again = printing::AskedAgain(*message, asked);
    const std::size_t k = static_cast<std::size_t>(message->error_index);
    Check(asked_again.has_value() == (message->error_status == printing::kSnmpNoSuchName && message->error_index >= 1 &&
                                k <= asked.size() && asked.size() >= 2),
          "asked again against the error");
    if (asked_again) {
      asked.erase(asked.begin() + static_cast<std::ptrdiff_t>(k - 1));
      Check(*asked_again == asked, "asked again other than without the object lacking");
    }
    // A conversation with an agent that gives these bytes to every request.
    int requests = 0;
    const printing::AgentWord word = printing::AskPrinterAgent(
        {message->community},
        [&](const std::vector<std::uint8_t>&) {
          ++requests;
          return std::optional<std::vector<std::uint8_t>>(std::vector<std::uint8_t>(data, data + size));
        },
        [&] { return message->request_id; });
    Check(word.answered == (message->pdu == printing::kSnmpGetResponse) && requests <= 4 + 1 + 16 &&
              word.supplies.size() <= printing::kMaxSupplies && (word.status || word.supplies.empty()),
          "a conversation beyond its bounds");
    // The printer at index 1, and at each index of an hrDeviceType read, and
    // their supplies.
    CheckHostPrinter(*message, 1);
    CheckSupplyRow(*message, 1, 0);
    const std::string supply_class = std::string(printing::kPrtMarkerSuppliesClass) + ".";
    for (const SnmpBinding& binding : message->bindings) {
      if (binding.oid.rfind(supply_class, 0) != 0) continue;
      const std::size_t dot = binding.oid.find('.', supply_class.size());
      if (dot == std::string::npos || dot - supply_class.size() > 9) continue;
      const int index = std::stoi(binding.oid.substr(supply_class.size(), dot - supply_class.size()));
      if (index < 1) continue;
      CheckSupplyRow(*message, index, 0);
      if (const auto at = SupplyIndex(binding.oid, printing::kPrtMarkerSuppliesClass, index); at && *at > 0)
        CheckSupplyRow(*message, index, static_cast<std::uint32_t>(*at - 1));
    }
    const std::string type = std::string(printing::kHrDeviceType) + ".";
    for (const SnmpBinding& binding : message->bindings) {
      if (binding.oid.rfind(type, 0) != 0 || binding.oid.size() - type.size() > 10) continue;
      const long long index = std::stoll(binding.oid.substr(type.size()));  // digits and dots, the first digits
      if (index >= 1 && index <= INT_MAX && binding.oid.find('.', type.size()) == std::string::npos)
        CheckHostPrinter(*message, static_cast<int>(index));
    }
  }

  // The request: the first byte says how much of the rest is the community,
  // the next four are the request-id, what is left the OIDs, between spaces.
  if (size < 5) return 0;
  const std::size_t community_size = std::min<std::size_t>(data[0] * 2u, size - 5);
  const std::string_view community(reinterpret_cast<const char*>(data + 5), community_size);
  const std::int32_t request_id = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(data[1]) << 24 | data[2] << 16 | data[3] << 8 | data[4]);
  const std::string_view text(reinterpret_cast<const char*>(data + 5 + community_size), size - 5 - community_size);
  std::vector<std::string> oids;
  std::vector<std::optional<std::string>> canonical;
  bool good = community.size() <= printing::kSnmpMaxCommunity;
  for (std::size_t at = 0;;) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    oids.emplace_back(text.substr(at, end - at));
    canonical.push_back(Canonical(oids.back()));
    good = good && canonical.back();
    if (end == text.size()) break;
    at = end + 1;
  }
  good = good && oids.size() <= printing::kSnmpMaxBindings;
  const std::vector<std::uint8_t> request = printing::SnmpGetRequest(community, oids, request_id);
  Check(request.empty() == !good, "a request made or refused against its OIDs and community");
  const std::vector<std::uint8_t> next = printing::SnmpGetNextRequest(community, oids, request_id);
  Check(next.size() == request.size() && (request.empty() || (std::equal(request.begin(), request.end(), next.begin(),
                                                                          [](std::uint8_t a, std::uint8_t b) {
                                                                            return a == b || (a == 0xA0 && b == 0xA1);
                                                                          }))),
        "a GetNextRequest other than its GetRequest");
  const std::vector<std::uint8_t> one = printing::SnmpGetRequest(community, text, request_id);
  Check(one == (oids.size() == 1 ? request : std::vector<std::uint8_t>{}),
        "one OID asked otherwise than in a list");
  if (request.empty()) return 0;
  const std::optional<SnmpAnswer> read = ReadSnmpMessage(request.data(), request.size());
  Check(read && read->pdu == printing::kSnmpGetRequest && read->community == community &&
            read->request_id == request_id && read->error_status == 0 && read->error_index == 0 &&
            read->bindings.size() == oids.size(),
        "the request does not read as what it asks");
  for (std::size_t i = 0; i < oids.size(); ++i)
    Check(read->bindings[i].oid == *canonical[i] && read->bindings[i].tag == printing::kSnmpNull &&
              read->bindings[i].value.empty(),
          "a binding of the request does not read as what it asks");
  Check(!ReadSnmpAnswer(request.data(), request.size()), "the request reads as an answer");
  return 0;
}
