#include "Snmp.h"

#include <algorithm>
#include <array>
#include <tuple>
#include <utility>

namespace printing {
namespace {

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint32_t kMaxArc = 0xFFFFFFFF;

void PutLength(std::vector<std::uint8_t>& out, std::size_t length) {
  if (length < 0x80) {
    out.push_back(static_cast<std::uint8_t>(length));
    return;
  }
  std::array<std::uint8_t, sizeof(std::size_t)> bytes{};
  std::size_t count = 0;
  for (; length != 0; length >>= 8) bytes[count++] = static_cast<std::uint8_t>(length);
  out.push_back(static_cast<std::uint8_t>(0x80 | count));
  while (count > 0) out.push_back(bytes[--count]);
}

std::vector<std::uint8_t> Tlv(std::uint8_t tag, const std::vector<std::uint8_t>& content) {
  std::vector<std::uint8_t> out{tag};
  PutLength(out, content.size());
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

std::vector<std::uint8_t> Concatenated(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Two's complement in as few bytes as keep its sign.
std::vector<std::uint8_t> Integer(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  std::vector<std::uint8_t> content{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                    static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
  while (content.size() > 1 && ((content[0] == 0x00 && content[1] < 0x80) || (content[0] == 0xFF && content[1] >= 0x80)))
    content.erase(content.begin());
  return Tlv(kSnmpInteger, content);
}

// The numbers of a dotted OID, or nothing when it is not one.
std::optional<std::vector<std::uint32_t>> Arcs(std::string_view dotted) {
  std::vector<std::uint32_t> arcs;
  std::size_t at = 0;
  for (;;) {
    if (arcs.size() == kSnmpMaxOidArcs) return std::nullopt;
    std::uint64_t arc = 0;
    const std::size_t start = at;
    for (; at < dotted.size() && dotted[at] >= '0' && dotted[at] <= '9'; ++at) {
      arc = arc * 10 + static_cast<std::uint64_t>(dotted[at] - '0');
      if (arc > kMaxArc) return std::nullopt;
    }
    if (at == start) return std::nullopt;
    arcs.push_back(static_cast<std::uint32_t>(arc));
    if (at == dotted.size()) break;
    if (dotted[at++] != '.') return std::nullopt;
  }
  // The first two travel as one number, 40 * first + second.
  if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] > 39) || arcs[1] > kMaxArc - 80) return std::nullopt;
  return arcs;
}

void PutSubidentifier(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::array<std::uint8_t, 5> groups{};
  std::size_t count = 0;
  do {
    groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

// Reads BER elements (tag, length, content), never beyond its end.
class Ber {
 public:
  Ber() = default;
  Ber(const std::uint8_t* bytes, std::size_t size) : at_(bytes), left_(size) {}
  bool Empty() const { return left_ == 0; }
  const std::uint8_t* Data() const { return at_; }
  std::size_t Size() const { return left_; }

  // The next element: its tag and its content.
  bool Element(std::uint8_t& tag, Ber& content) {
    if (left_ < 2) return false;
    tag = at_[0];
    if ((tag & 0x1F) == 0x1F || tag == 0) return false;  // long tags, and end-of-contents, are no SNMP
    std::size_t header = 2, length = at_[1];
    if (length & 0x80) {
      const std::size_t count = length & 0x7F;
      if (count == 0 || count > 4 || left_ < 2 + count) return false;  // indefinite, or too long
      length = 0;
      for (std::size_t i = 0; i < count; ++i) length = length << 8 | at_[2 + i];
      header += count;
    }
    if (length > left_ - header) return false;
    content = Ber(at_ + header, length);
    at_ += header + length;
    left_ -= header + length;
    return true;
  }

  // The next element, which must have `tag`.
  bool Next(std::uint8_t tag, Ber& content) {
    std::uint8_t got = 0;
    return Element(got, content) && got == tag;
  }

  bool Integer(std::int32_t& out) {
    Ber content;
    if (!Next(kSnmpInteger, content)) return false;
    const std::optional<std::int32_t> value = IntegerContent(content.at_, content.left_);
    if (value) out = *value;
    return value.has_value();
  }

  // An INTEGER's content of 1 to 4 bytes.
  static std::optional<std::int32_t> IntegerContent(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0 || size > 4) return std::nullopt;
    std::uint32_t value = bytes[0] & 0x80 ? 0xFFFFFFFF : 0;  // its sign
    for (std::size_t i = 0; i < size; ++i) value = value << 8 | bytes[i];
    return static_cast<std::int32_t>(value);
  }

 private:
  const std::uint8_t* at_ = nullptr;
  std::size_t left_ = 0;
};

// A BER OID's content as dotted numbers.
std::optional<std::string> Dotted(const Ber& content) {
  std::string out;
  std::size_t arcs = 0;
  std::uint32_t value = 0;
  bool within = false;  // in the middle of a number
  for (std::size_t i = 0; i < content.Size(); ++i) {
    const std::uint8_t byte = content.Data()[i];
    if (value > (kMaxArc >> 7)) return std::nullopt;
    value = value << 7 | (byte & 0x7F);
    within = byte & 0x80;
    if (within) continue;
    if (arcs == 0) {
      const std::uint32_t first = value < 40 ? 0 : value < 80 ? 1 : 2;
      out = std::to_string(first) + '.' + std::to_string(value - 40 * first);
      arcs = 2;
    } else {
      if (++arcs > kSnmpMaxOidArcs) return std::nullopt;
      out += '.' + std::to_string(value);
    }
    value = 0;
  }
  if (arcs == 0 || within) return std::nullopt;
  return out;
}

// A request of `pdu` for `oids`, with NULL values; empty when it cannot be
// made.
std::vector<std::uint8_t> Request(std::uint8_t pdu, std::string_view community, const std::vector<std::string>& oids,
                                  std::int32_t request_id) {
  if (oids.empty() || oids.size() > kSnmpMaxBindings || community.size() > kSnmpMaxCommunity) return {};
  std::vector<std::uint8_t> bindings;
  for (const std::string& oid : oids) {
    const std::optional<std::vector<std::uint32_t>> arcs = Arcs(oid);
    if (!arcs) return {};
    std::vector<std::uint8_t> encoded;
    PutSubidentifier(encoded, (*arcs)[0] * 40 + (*arcs)[1]);
    for (std::size_t i = 2; i < arcs->size(); ++i) PutSubidentifier(encoded, (*arcs)[i]);
    const std::vector<std::uint8_t> binding =
        Tlv(kSequence, Concatenated({Tlv(kSnmpObjectId, encoded), Tlv(kSnmpNull, {})}));
    bindings.insert(bindings.end(), binding.begin(), binding.end());
  }
  const std::vector<std::uint8_t> body =
      Tlv(pdu, Concatenated({Integer(request_id), Integer(0), Integer(0), Tlv(kSequence, bindings)}));
  return Tlv(kSequence, Concatenated({Integer(0), Tlv(kSnmpOctetString, {community.begin(), community.end()}), body}));
}

}  // namespace

std::vector<std::uint8_t> SnmpGetRequest(std::string_view community, const std::vector<std::string>& oids,
                                         std::int32_t request_id) {
  return Request(kSnmpGetRequest, community, oids, request_id);
}

std::vector<std::uint8_t> SnmpGetNextRequest(std::string_view community, const std::vector<std::string>& oids,
                                             std::int32_t request_id) {
  return Request(kSnmpGetNextRequest, community, oids, request_id);
}

std::vector<std::uint8_t> SnmpGetRequest(std::string_view community, std::string_view oid, std::int32_t request_id) {
  return SnmpGetRequest(community, std::vector<std::string>{std::string(oid)}, request_id);
}

std::optional<std::int32_t> SnmpBinding::Integer() const {
  if (tag != kSnmpInteger) return std::nullopt;
  return Ber::IntegerContent(value.data(), value.size());
}

std::optional<std::string> SnmpBinding::OctetString() const {
  if (tag != kSnmpOctetString) return std::nullopt;
  return std::string(value.begin(), value.end());
}

std::optional<std::string> SnmpBinding::ObjectId() const {
  if (tag != kSnmpObjectId) return std::nullopt;
  return Dotted(Ber(value.data(), value.size()));
}

const SnmpBinding* SnmpAnswer::Find(std::string_view oid) const {
  for (const SnmpBinding& binding : bindings)
    if (binding.oid == oid) return &binding;
  return nullptr;
}

std::optional<SnmpAnswer> ReadSnmpMessage(const std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr || size > kSnmpMaxMessage) return std::nullopt;
  Ber datagram(bytes, size), message, community, pdu, bindings;
  SnmpAnswer answer;
  std::int32_t version = -1;
  if (!datagram.Next(kSequence, message) || !message.Integer(version) || version != 0 ||
      !message.Next(kSnmpOctetString, community) || !message.Element(answer.pdu, pdu) || !message.Empty())
    return std::nullopt;
  if (answer.pdu < kSnmpGetRequest || answer.pdu > kSnmpSetRequest) return std::nullopt;
  answer.community.assign(reinterpret_cast<const char*>(community.Data()), community.Size());
  if (!pdu.Integer(answer.request_id) || !pdu.Integer(answer.error_status) || !pdu.Integer(answer.error_index) ||
      !pdu.Next(kSequence, bindings) || !pdu.Empty())
    return std::nullopt;
  // Each binding an OID and one value of any tag, which is kept unread; one
  // more than kSnmpMaxBindings refuses the message.
  while (!bindings.Empty()) {
    Ber binding, oid, value;
    SnmpBinding read;
    std::optional<std::string> dotted;
    if (answer.bindings.size() == kSnmpMaxBindings || !bindings.Next(kSequence, binding) ||
        !binding.Next(kSnmpObjectId, oid) || !(dotted = Dotted(oid)) || !binding.Element(read.tag, value) ||
        !binding.Empty())
      return std::nullopt;
    read.oid = std::move(*dotted);
    read.value.assign(value.Data(), value.Data() + value.Size());
    answer.bindings.push_back(std::move(read));
  }
  return answer;
}

std::optional<SnmpAnswer> ReadSnmpAnswer(const std::uint8_t* bytes, std::size_t size) {
  std::optional<SnmpAnswer> answer = ReadSnmpMessage(bytes, size);
  if (answer && answer->pdu != kSnmpGetResponse) return std::nullopt;
  return answer;
}

std::optional<std::string_view> HpSnmpCommunity(std::string_view device_uri) {
  static constexpr std::string_view kCommunities[] = {"", "public", "public.1", "public.2", "public.3"};
  constexpr std::string_view key = "port=";
  std::size_t at = std::string_view::npos;
  for (std::size_t i = 0; i + key.size() <= device_uri.size() && at == std::string_view::npos; ++i) {
    bool same = true;
    for (std::size_t k = 0; k < key.size() && same; ++k) {
      const char c = device_uri[i + k];
      same = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == key[k];
    }
    if (same) at = i + key.size();
  }
  if (at == std::string_view::npos) return kCommunities[1];
  // As strtol reads it: blanks, a sign, digits; no digits is 0.
  while (at < device_uri.size() && (device_uri[at] == ' ' || (device_uri[at] >= '\t' && device_uri[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < device_uri.size() && (device_uri[at] == '-' || device_uri[at] == '+')) negative = device_uri[at++] == '-';
  std::size_t port = 0;
  for (; at < device_uri.size() && device_uri[at] >= '0' && device_uri[at] <= '9'; ++at)
    port = std::min<std::size_t>(port * 10 + static_cast<std::size_t>(device_uri[at] - '0'), 1000);
  if (negative && port != 0) return std::nullopt;
  if (port >= std::size(kCommunities)) return std::nullopt;
  return kCommunities[port];
}

std::vector<std::string> HostPrinterOids(int index) {
  if (index < 1) return {};
  const std::string n = "." + std::to_string(index);
  return {std::string(kHrDeviceType) + n, std::string(kHrDeviceStatus) + n, std::string(kHrPrinterStatus) + n,
          std::string(kHrPrinterDetectedErrorState) + n};
}

std::optional<HostPrinterStatus> ReadHostPrinterStatus(const SnmpAnswer& answer, std::int32_t request_id,
                                                       std::string_view community, int index) {
  const std::vector<std::string> oids = HostPrinterOids(index);
  if (oids.empty() || answer.pdu != kSnmpGetResponse || answer.request_id != request_id ||
      answer.community != community || answer.error_status != kSnmpNoError)
    return std::nullopt;
  // An exception value is of none of the types read: as missing.
  std::array<const SnmpBinding*, 4> found{};
  for (std::size_t i = 0; i < found.size(); ++i) found[i] = answer.Find(oids[i]);
  const auto& [type, device, printer, errors] = found;
  if (type == nullptr || type->ObjectId() != kHrDevicePrinter) return std::nullopt;
  HostPrinterStatus status;
  if (device != nullptr) status.device_status = device->Integer().value_or(0);
  if (printer != nullptr) status.printer_status = printer->Integer().value_or(0);
  if (const std::optional<std::string> bits = errors != nullptr ? errors->OctetString() : std::nullopt) {
    // Bit k is bit 7 - k % 8 of byte k / 8.
    for (std::size_t k = 0; k < 16 && k / 8 < bits->size(); ++k)
      if (static_cast<std::uint8_t>((*bits)[k / 8]) >> (7 - k % 8) & 1)
        status.errors |= static_cast<std::uint16_t>(1u << k);
  }
  return status;
}

std::optional<std::vector<std::string>> AskedAgain(const SnmpAnswer& answer, const std::vector<std::string>& asked) {
  if (answer.error_status != kSnmpNoSuchName || answer.error_index < 1 ||
      static_cast<std::size_t>(answer.error_index) > asked.size() || asked.size() < 2)
    return std::nullopt;
  std::vector<std::string> again = asked;
  again.erase(again.begin() + (answer.error_index - 1));
  return again;
}

namespace {

constexpr std::string_view kSupplyColumns[] = {kPrtMarkerSuppliesClass, kPrtMarkerSuppliesDescription,
                                               kPrtMarkerSuppliesMaxCapacity, kPrtMarkerSuppliesLevel};

// The supply S of an OID COLUMN.N.S, or nothing when it is no row of that
// column of printer N.
std::optional<std::uint32_t> SupplyIndexIn(std::string_view oid, std::string_view column, int index) {
  const std::string prefix = std::string(column) + "." + std::to_string(index) + ".";
  if (oid.size() <= prefix.size() || oid.substr(0, prefix.size()) != prefix) return std::nullopt;
  std::uint64_t supply = 0;
  for (const char c : oid.substr(prefix.size())) {
    if (c < '0' || c > '9') return std::nullopt;
    supply = supply * 10 + static_cast<std::uint64_t>(c - '0');
    if (supply > 0xFFFFFFFF) return std::nullopt;
  }
  return static_cast<std::uint32_t>(supply);
}

// The code point of the UTF-8 sequence at `at` and its length, or nothing
// when none begins there (an overlong form, a surrogate, beyond U+10FFFF,
// cut short).
std::optional<std::pair<std::uint32_t, std::size_t>> Utf8At(std::string_view bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  const std::uint8_t lead = byte(at);
  std::size_t length = 0;
  std::uint32_t point = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return std::nullopt;
  }
  if (bytes.size() - at < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const std::uint8_t next = byte(at + i);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return std::nullopt;
    point = point << 6 | (next & 0x3F);
  }
  return std::pair{point, length};
}

void PutUtf8(std::string& out, std::uint32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | point >> 6);
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | point >> 12);
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | point >> 18);
    out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

}  // namespace

std::vector<std::string> SupplyColumnOids(int index, std::uint32_t after) {
  if (index < 1) return {};
  std::string row = "." + std::to_string(index);
  if (after != 0) row += "." + std::to_string(after);
  std::vector<std::string> oids;
  for (std::string_view column : kSupplyColumns) oids.push_back(std::string(column) + row);
  return oids;
}

std::optional<SupplyRow> ReadSupplyRow(const SnmpAnswer& answer, std::int32_t request_id,
                                       std::string_view community, int index, std::uint32_t after) {
  if (index < 1 || answer.pdu != kSnmpGetResponse || answer.request_id != request_id ||
      answer.community != community || answer.error_status != kSnmpNoError ||
      answer.bindings.size() != std::size(kSupplyColumns))
    return std::nullopt;
  // Each column's supply, where it gives one above `after`.
  std::array<std::optional<std::uint32_t>, std::size(kSupplyColumns)> at{};
  std::optional<std::uint32_t> lowest;
  for (std::size_t i = 0; i < at.size(); ++i) {
    const SnmpBinding& binding = answer.bindings[i];
    if (binding.Exception()) continue;
    at[i] = SupplyIndexIn(binding.oid, kSupplyColumns[i], index);
    if (at[i] && *at[i] <= after) at[i].reset();
    if (at[i] && (!lowest || *at[i] < *lowest)) lowest = at[i];
  }
  if (!lowest) return std::nullopt;
  SupplyRow row;
  row.index = *lowest;
  const auto given = [&](std::size_t i) { return at[i] == lowest ? &answer.bindings[i] : nullptr; };
  if (const SnmpBinding* b = given(0)) row.supply_class = b->Integer();
  if (const SnmpBinding* b = given(1)) row.description = b->OctetString();
  if (const SnmpBinding* b = given(2)) row.max_capacity = b->Integer();
  if (const SnmpBinding* b = given(3)) row.level = b->Integer();
  return row;
}

std::string SupplyName(std::string_view bytes) {
  std::string name;
  for (std::size_t at = 0; at < bytes.size();) {
    std::uint32_t point = static_cast<std::uint8_t>(bytes[at]);
    std::size_t length = 1;
    if (point >= 0x80) {
      if (const auto sequence = Utf8At(bytes, at)) std::tie(point, length) = *sequence;
      // Else the byte alone, as Latin-1.
    }
    at += length;
    const bool control = point < 0x20 || (point >= 0x7F && point <= 0x9F);
    if (control) continue;
    std::string character;
    PutUtf8(character, point);
    if (name.size() + character.size() > kMaxSupplyName) break;
    name += character;
  }
  const auto blank = [](char c) { return c == ' '; };
  while (!name.empty() && blank(name.back())) name.pop_back();
  std::size_t lead = 0;
  while (lead < name.size() && blank(name[lead])) ++lead;
  return name.substr(lead);
}

Supply SupplyOf(const SupplyRow& row) {
  Supply supply;
  supply.name = SupplyName(row.description.value_or(""));
  supply.fills = row.supply_class == kReceptacleThatIsFilled;
  supply.mark = -1;
  const std::int32_t level = row.level.value_or(-2), max = row.max_capacity.value_or(-2);
  if (level >= 0 && max > 0) {
    const auto percent = static_cast<int>(std::min<std::int64_t>(std::int64_t{level} * 100 / max, 100));
    // A receptacle's level is the room left in it.
    supply.level = supply.fills ? 100 - percent : percent;
  } else if (level == -3) {
    supply.level = -3;
  } else if (level == -1 || (level >= 0 && max == -1)) {
    supply.level = -1;
  } else {
    supply.level = -2;
  }
  return supply;
}

AgentWord AskPrinterAgent(const AgentQuestion& question, const SnmpExchange& exchange,
                          const std::function<std::int32_t()>& new_id,
                          const std::function<void(const AgentWord&)>& heard) {
  AgentWord word;
  const auto tell = [&] {
    if (heard) heard(word);
  };
  std::vector<std::string> asked = question.first;
  const std::vector<std::string> host = HostPrinterOids(question.index);
  if (host.empty()) return word;
  asked.insert(asked.end(), host.begin(), host.end());
  // The answer to `request` with `id`, when it is one.
  const auto ask = [&](const std::vector<std::uint8_t>& request, std::int32_t id) -> std::optional<SnmpAnswer> {
    const std::optional<std::vector<std::uint8_t>> bytes = request.empty() ? std::nullopt : exchange(request);
    if (!bytes) return std::nullopt;
    std::optional<SnmpAnswer> answer = ReadSnmpAnswer(bytes->data(), bytes->size());
    if (!answer || answer->request_id != id) return std::nullopt;
    return answer;
  };
  // Each time one object fewer: as many rounds as objects at most.
  while (!word.status) {
    const std::int32_t id = new_id();
    const std::optional<SnmpAnswer> answer = ask(SnmpGetRequest(question.community, asked, id), id);
    if (!answer) return word;
    if (!word.answered) {
      word.answered = true;
      tell();
    }
    word.status = ReadHostPrinterStatus(*answer, id, question.community, question.index);
    if (word.status) break;
    std::optional<std::vector<std::string>> again = AskedAgain(*answer, asked);
    // Without hrDeviceType the printer cannot be told from another device.
    if (!again || std::find(again->begin(), again->end(), host[0]) == again->end()) return word;
    asked = std::move(*again);
  }
  tell();
  if (!question.supplies) return word;
  std::uint32_t after = 0;
  while (word.supplies.size() < kMaxSupplies) {
    const std::int32_t id = new_id();
    const std::optional<SnmpAnswer> answer =
        ask(SnmpGetNextRequest(question.community, SupplyColumnOids(question.index, after), id), id);
    const std::optional<SupplyRow> row =
        answer ? ReadSupplyRow(*answer, id, question.community, question.index, after) : std::nullopt;
    if (!row) break;
    word.supplies.push_back(SupplyOf(*row));
    after = row->index;
    tell();
  }
  return word;
}

}  // namespace printing
