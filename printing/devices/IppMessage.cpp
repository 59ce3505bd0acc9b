#include "IppMessage.h"

#include "DeviceStatus.h"

namespace printing {
namespace {

// Tags of RFC 8010.
constexpr std::uint8_t kOperationAttributes = 0x01;
constexpr std::uint8_t kEndOfAttributes = 0x03;
constexpr std::uint8_t kPrinterAttributes = 0x04;
constexpr std::uint8_t kFirstValueTag = 0x10;
constexpr std::uint8_t kOctetString = 0x30;
constexpr std::uint8_t kTextWithLanguage = 0x35;
constexpr std::uint8_t kNameWithLanguage = 0x36;
constexpr std::uint8_t kTextWithoutLanguage = 0x41;
constexpr std::uint8_t kNameWithoutLanguage = 0x42;
constexpr std::uint8_t kInteger = 0x21;
constexpr std::uint8_t kBoolean = 0x22;
constexpr std::uint8_t kEnum = 0x23;
constexpr std::uint8_t kBeginCollection = 0x34;
constexpr std::uint8_t kEndCollection = 0x37;
constexpr std::uint8_t kKeyword = 0x44;
constexpr std::uint8_t kUri = 0x45;
constexpr std::uint8_t kCharset = 0x47;
constexpr std::uint8_t kNaturalLanguage = 0x48;

constexpr std::uint16_t kGetPrinterAttributes = 0x000B;

void Put16(std::vector<std::uint8_t>& out, std::size_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

// One value; an empty name adds a value to the attribute before it.
void Put(std::vector<std::uint8_t>& out, std::uint8_t tag, std::string_view name, std::string_view value) {
  out.push_back(tag);
  Put16(out, name.size());
  out.insert(out.end(), name.begin(), name.end());
  Put16(out, value.size());
  out.insert(out.end(), value.begin(), value.end());
}

// Reads big-endian numbers and counted strings, never beyond its end.
class Reader {
 public:
  Reader(const std::uint8_t* bytes, std::size_t size) : at_(bytes), left_(size) {}
  bool Empty() const { return left_ == 0; }
  bool Byte(std::uint8_t& out) { return Take(1, [&](const std::uint8_t* p) { out = p[0]; }); }
  bool Short(std::uint16_t& out) {
    return Take(2, [&](const std::uint8_t* p) { out = static_cast<std::uint16_t>(p[0] << 8 | p[1]); });
  }
  bool Skip(std::size_t n) {
    return Take(n, [](const std::uint8_t*) {});
  }
  // A 2-byte length, then that many bytes.
  bool Counted(std::string_view& out) {
    std::uint16_t length = 0;
    return Short(length) &&
           Take(length, [&](const std::uint8_t* p) { out = {reinterpret_cast<const char*>(p), length}; });
  }

 private:
  template <class Use>
  bool Take(std::size_t n, Use use) {
    if (n > left_) return false;
    use(at_);
    at_ += n;
    left_ -= n;
    return true;
  }
  const std::uint8_t* at_;
  std::size_t left_;
};

std::int32_t Integer32(std::string_view value) {
  std::uint32_t v = 0;
  for (char c : value) v = v << 8 | static_cast<std::uint8_t>(c);
  return static_cast<std::int32_t>(v);
}

// The text of a name or text value: a ...WithLanguage one holds its
// language, then its text, each counted.
std::optional<std::string_view> TextValue(std::uint8_t tag, std::string_view value) {
  if (tag == kNameWithoutLanguage || tag == kTextWithoutLanguage) return value;
  if (tag != kNameWithLanguage && tag != kTextWithLanguage) return std::nullopt;
  Reader in(reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
  std::string_view language, text;
  if (!in.Counted(language) || !in.Counted(text) || !in.Empty()) return std::nullopt;
  return text;
}

}  // namespace

std::vector<std::uint8_t> PrinterStateRequest(std::string_view printer_uri, std::uint32_t request_id) {
  std::vector<std::uint8_t> out;
  if (printer_uri.size() > kIppMaxUri) return out;
  out = {1, 1};  // IPP/1.1, which every printer speaks
  Put16(out, kGetPrinterAttributes);
  Put16(out, request_id >> 16);
  Put16(out, request_id & 0xFFFF);
  out.push_back(kOperationAttributes);
  Put(out, kCharset, "attributes-charset", "utf-8");
  Put(out, kNaturalLanguage, "attributes-natural-language", "en");
  Put(out, kUri, "printer-uri", printer_uri);
  Put(out, kKeyword, "requested-attributes", "printer-state");
  Put(out, kKeyword, "", "printer-state-reasons");
  Put(out, kKeyword, "", "printer-is-accepting-jobs");
  for (const char* supplies : {"marker-names", "marker-levels", "marker-low-levels", "marker-types", "printer-supply",
                               "printer-supply-description"})
    Put(out, kKeyword, "", supplies);
  out.push_back(kEndOfAttributes);
  return out;
}

std::optional<IppAnswer> ReadIppAnswer(const std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr || size > kIppMaxAnswer) return std::nullopt;
  Reader in(bytes, size);
  IppAnswer answer;
  std::uint8_t major = 0;
  if (!in.Byte(major) || major < 1 || major > 2 || !in.Skip(1) || !in.Short(answer.status_code) || !in.Skip(4))
    return std::nullopt;
  std::uint8_t group = 0;
  int depth = 0;         // within collections, whose members are not the printer's
  std::string_view name;  // of the attribute that the values belong to
  bool taking = false;    // whether its values are read
  bool took_state = false, took_reasons = false, took_accepting = false;
  // The supply attributes, each a list of values of one kind.
  SupplyAttributes supplies;
  struct Listed {
    std::string_view name;
    bool text;  // names and texts, else keywords (or integers, for the levels)
    std::vector<std::string>* texts;
    std::vector<std::int32_t>* numbers;
    bool took = false;
  } listed[] = {
      {"marker-names", true, &supplies.names, nullptr},       {"marker-types", false, &supplies.types, nullptr},
      {"marker-levels", false, nullptr, &supplies.levels},    {"marker-low-levels", false, nullptr, &supplies.lows},
      {"printer-supply", false, &supplies.supply, nullptr},
      {"printer-supply-description", true, &supplies.descriptions, nullptr},
  };
  Listed* list = nullptr;  // the supply attribute whose values are read
  for (;;) {
    std::uint8_t tag = 0;
    if (!in.Byte(tag)) return std::nullopt;  // no end of the attributes
    if (tag == kEndOfAttributes) {
      answer.supplies = SuppliesOf(supplies);
      return answer;
    }
    if (tag < kFirstValueTag) {
      group = tag;
      taking = false;
      depth = 0;
      continue;
    }
    std::string_view attribute, value;
    if (!in.Counted(attribute) || !in.Counted(value)) return std::nullopt;
    const bool printers = group == kPrinterAttributes && depth == 0;
    if (tag == kBeginCollection) ++depth;
    if (tag == kEndCollection && depth > 0) --depth;
    if (!printers) continue;
    if (!attribute.empty()) list = nullptr;
    for (Listed& l : listed) {
      if (!attribute.empty() && attribute == l.name && !l.took) {
        l.took = true;
        list = &l;
      }
    }
    if (list != nullptr) {
      // Each value of its own kind, up to kMaxSupplies.
      const std::optional<std::string_view> text = list->text ? TextValue(tag, value) : std::nullopt;
      if (list->numbers != nullptr && tag == kInteger && value.size() == 4 && list->numbers->size() < kMaxSupplies)
        list->numbers->push_back(Integer32(value));
      else if (list->texts != nullptr && list->texts->size() < kMaxSupplies &&
               (text || (!list->text && (tag == kKeyword || tag == kOctetString))))
        list->texts->emplace_back(text ? *text : value);
      continue;
    }
    if (!attribute.empty()) {
      // The first attribute of each name, with a value of its kind.
      name = attribute;
      bool* took = nullptr;
      if (name == "printer-state" && (tag == kEnum || tag == kInteger)) took = &took_state;
      if (name == "printer-state-reasons" && tag == kKeyword) took = &took_reasons;
      if (name == "printer-is-accepting-jobs" && tag == kBoolean) took = &took_accepting;
      taking = took != nullptr && !*took;
      if (taking) *took = true;
    }
    if (!taking) continue;
    if (name == "printer-state" && value.size() == 4 && !answer.state)
      answer.state = Integer32(value);
    else if (name == "printer-state-reasons" && tag == kKeyword && answer.reasons.size() < kIppMaxReasons)
      answer.reasons.emplace_back(value);
    else if (name == "printer-is-accepting-jobs" && value.size() == 1 && !answer.accepting)
      answer.accepting = value[0] != 0;
  }
}

}  // namespace printing
