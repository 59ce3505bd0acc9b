#include "Snmp.h"

#include <algorithm>
#include <array>

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

}  // namespace

std::vector<std::uint8_t> SnmpGetRequest(std::string_view community, const std::vector<std::string>& oids,
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
  const std::vector<std::uint8_t> pdu = Tlv(
      kSnmpGetRequest, Concatenated({Integer(request_id), Integer(0), Integer(0), Tlv(kSequence, bindings)}));
  return Tlv(kSequence, Concatenated({Integer(0), Tlv(kSnmpOctetString, {community.begin(), community.end()}), pdu}));
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
  std::array<const SnmpBinding*, 4> found{};
  for (std::size_t i = 0; i < found.size(); ++i) {
    found[i] = answer.Find(oids[i]);
    if (found[i] != nullptr && found[i]->Exception()) return std::nullopt;
  }
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

}  // namespace printing
