#include "UsbPresence.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "Text.h"

namespace printing {
namespace fs = std::filesystem;
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsIgnoringCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string Trimmed(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// What a device URI names.
struct Wanted {
  bool hplip = false;  // hp:/usb/MODEL: HPLIP's form of the model, no make
  std::string make, model, serial;
};

enum class Parsed { NotUsb, NamesNothing, Usb };

Parsed Parse(const std::string& uri, Wanted& wanted) {
  std::string rest;
  if (StartsIgnoringCase(uri, "usb://")) {
    rest = uri.substr(6);
    const std::size_t slash = rest.find_first_of("/?");
    wanted.make = PercentDecoded(rest.substr(0, slash));
    rest = slash == std::string::npos ? "" : rest.substr(slash);
    if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  } else if (StartsIgnoringCase(uri, "hp:/usb/")) {
    wanted.hplip = true;
    rest = uri.substr(8);
  } else {
    return Parsed::NotUsb;
  }
  const std::size_t question = rest.find('?');
  wanted.model = PercentDecoded(rest.substr(0, question));
  // The query: serial=S, and interface=N, which takes no part (the
  // scheduler's backend drops it when only one side has it).
  const std::string query = question == std::string::npos ? "" : rest.substr(question + 1);
  for (std::size_t start = 0; start <= query.size();) {
    const std::size_t end = std::min(query.find('&', start), query.size());
    const std::string pair = query.substr(start, end - start);
    if (pair.rfind("serial=", 0) == 0) wanted.serial = PercentDecoded(pair.substr(7));
    start = end + 1;
  }
  if (wanted.serial == "?") wanted.serial.clear();  // the backend's "no serial number"
  if (!wanted.serial.empty()) return Parsed::Usb;
  return wanted.model.empty() || (!wanted.hplip && wanted.make.empty()) ? Parsed::NamesNothing : Parsed::Usb;
}

// The text of a sysfs attribute without the newline that ends it; nothing
// when it is missing, not a file or cannot be read. (Not blocking: nothing
// under /sys waits, and what is not a file there must not hold a test.)
std::optional<std::string> Attribute(const fs::path& file) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  std::string text(4096, '\0');  // the most a sysfs attribute holds
  std::size_t length = 0;
  ssize_t got = 0;
  while (length < text.size() && (got = read(fd, text.data() + length, text.size() - length)) > 0)
    length += static_cast<std::size_t>(got);
  close(fd);
  if (got < 0) return std::nullopt;
  text.resize(length);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (text.empty()) return std::nullopt;
  return text;
}

// A byte the kernel shows as two hex digits ("07").
int HexByte(const std::optional<std::string>& text) {
  if (!text || text->size() != 2 || HexDigit((*text)[0]) < 0 || HexDigit((*text)[1]) < 0) return -1;
  return HexDigit((*text)[0]) * 16 + HexDigit((*text)[1]);
}

// The value of KEY in an IEEE 1284 device ID ("MFG:HP;MDL:LaserJet 1020;"),
// the first of `keys` that it has.
std::optional<std::string> IdValue(const std::string& id, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    for (std::size_t start = 0; start < id.size();) {
      const std::size_t end = std::min(id.find(';', start), id.size());
      const std::string field = id.substr(start, end - start);
      const std::size_t colon = field.find(':');
      if (colon != std::string::npos && EqualIgnoringCase(Trimmed(field.substr(0, colon)), key)) {
        const std::string value = Trimmed(field.substr(colon + 1));
        if (!value.empty()) return value;
      }
      start = end + 1;
    }
  }
  return std::nullopt;
}

// Whether `wanted` is a descriptor's serial number as a device URI carries
// it: the string itself (the kernel shows it in UTF-8, converted from the
// descriptor's UTF-16), its UTF-16LE bytes in
// hex when it is not all printable ASCII, or libusb's ASCII
// reading of it, with "?" for every code unit beyond ASCII.
bool IsSerial(const std::string& serial, const std::string& wanted) {
  if (serial == wanted) return true;
  static const char digits[] = "0123456789ABCDEF";
  std::string hex, ascii;
  bool printable = true;
  for (const char16_t unit : Utf8ToUtf16(serial)) {
    for (const unsigned byte : {unsigned{unit} & 0xFFu, unsigned{unit} >> 8u}) {
      hex += digits[byte >> 4];
      hex += digits[byte & 0xF];
    }
    ascii += unit < 0x80 ? static_cast<char>(unit) : '?';
    printable = printable && unit >= 0x20 && unit < 0x7F;
  }
  return (!printable && EqualIgnoringCase(hex, wanted)) || ascii == wanted;
}

// A make and model as the usb backend puts them in a URI: Hewlett-Packard is
// HP, Lexmark International is Lexmark, no make is the model's first word, and
// a model that begins with the make loses it.
std::pair<std::string, std::string> BackendName(std::string make, std::string model) {
  make = Trimmed(make);
  model = Trimmed(model);
  if (EqualIgnoringCase(make, "Hewlett-Packard"))
    make = "HP";
  else if (EqualIgnoringCase(make, "Lexmark International"))
    make = "Lexmark";
  else if (make.empty())
    make = model.substr(0, model.find(' '));
  if (!make.empty() && StartsIgnoringCase(model, make) && model.size() > make.size() && IsSpace(model[make.size()]))
    model = Trimmed(model.substr(make.size()));
  return {make, model};
}

// A model as HPLIP puts it in a URI: every run of spaces and slashes one "_".
std::string HplipModel(const std::string& model) {
  std::string out;
  for (const char c : Trimmed(model)) {
    if (c == ' ' || c == '/') {
      if (out.empty() || out.back() != '_') out += '_';
    } else {
      out += c;
    }
  }
  return out;
}

std::string WithoutHpPrefix(const std::string& model) {
  return StartsIgnoringCase(model, "hp_") ? model.substr(3) : model;
}

// What a printer on the bus shows of itself.
struct Seen {
  std::optional<std::string> manufacturer, product, serial, id;
};

bool Matches(const Wanted& wanted, const Seen& seen) {
  if (!wanted.serial.empty()) {
    if (seen.serial && IsSerial(*seen.serial, wanted.serial)) return true;
    // An older backend took the serial number of the 1284 device ID.
    const auto id_serial = seen.id ? IdValue(*seen.id, {"SERIALNUMBER", "SERN", "SN"}) : std::nullopt;
    return id_serial == wanted.serial;
  }
  // Make and model, from the 1284 device ID where the kernel shows it, else
  // from the descriptor strings; and from the descriptor strings alone, which
  // are there even while a job has the usblp driver set aside.
  std::vector<std::pair<std::string, std::string>> names;
  const std::string manufacturer = seen.manufacturer.value_or(""), product = seen.product.value_or("");
  if (seen.id) {
    names.emplace_back(IdValue(*seen.id, {"MANUFACTURER", "MFG"}).value_or(manufacturer),
                       IdValue(*seen.id, {"MODEL", "MDL"}).value_or(product));
  }
  names.emplace_back(manufacturer, product);
  for (const auto& [make, model] : names) {
    if (wanted.hplip) {
      if (EqualIgnoringCase(WithoutHpPrefix(HplipModel(model)), WithoutHpPrefix(wanted.model))) return true;
      continue;
    }
    const auto [backend_make, backend_model] = BackendName(make, model);
    if (EqualIgnoringCase(backend_make, Trimmed(wanted.make)) && EqualIgnoringCase(backend_model, Trimmed(wanted.model)))
      return true;
  }
  return false;
}

}  // namespace

UsbPresence FindUsbPrinter(const std::string& device_uri, const fs::path& sysfs_root) {
  Wanted wanted;
  switch (Parse(device_uri, wanted)) {
    case Parsed::NotUsb: return UsbPresence::NotUsb;
    case Parsed::NamesNothing: return UsbPresence::Unknown;
    case Parsed::Usb: break;
  }
  // Devices are "<bus>-<port>[.<port>...]", their interfaces
  // "<device>:<configuration>.<interface>"; a printer is a device with an
  // interface of class 07, subclass 01.
  const fs::path devices = sysfs_root / "bus" / "usb" / "devices";
  std::error_code error;
  fs::directory_iterator entry(devices, error);
  if (error) return UsbPresence::Unknown;  // the kernel shows no USB bus
  for (; entry != fs::directory_iterator(); entry.increment(error)) {
    if (error) return UsbPresence::Unknown;
    const std::string name = entry->path().filename().string();
    const std::size_t colon = name.find(':');
    if (colon == std::string::npos || colon == 0) continue;
    const fs::path interface = entry->path();
    if (HexByte(Attribute(interface / "bInterfaceClass")) != 0x07 ||
        HexByte(Attribute(interface / "bInterfaceSubClass")) != 0x01)
      continue;
    const fs::path device = devices / name.substr(0, colon);
    const Seen seen{Attribute(device / "manufacturer"), Attribute(device / "product"), Attribute(device / "serial"),
                    Attribute(interface / "ieee1284_id")};
    if (Matches(wanted, seen)) return UsbPresence::Present;
  }
  return error ? UsbPresence::Unknown : UsbPresence::Absent;
}

}  // namespace printing
