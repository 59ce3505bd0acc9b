#include "DeviceUri.h"

#include <algorithm>
#include <cctype>

namespace printing {
namespace {

int DefaultPort(const std::string& scheme) {
  if (scheme == "ipp" || scheme == "ipps") return 631;
  if (scheme == "http") return 80;
  if (scheme == "https") return 443;
  if (scheme == "socket") return 9100;
  if (scheme == "lpd") return 515;
  if (scheme == "bjnp") return 8611;  // Canon's BJNP printers
  return 0;
}

}  // namespace

std::optional<DeviceUri> SplitDeviceUri(std::string_view uri) {
  DeviceUri out;
  const std::size_t colon = uri.find("://");
  if (colon == 0 || colon == std::string_view::npos) return std::nullopt;
  for (char c : uri.substr(0, colon)) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return std::nullopt;
    out.scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  std::string_view rest = uri.substr(colon + 3);
  const std::size_t slash = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, slash);
  out.resource = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
  if (out.resource[0] != '/') out.resource.insert(0, "/");
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view port;
  if (!authority.empty() && authority[0] == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    out.host = authority.substr(1, close - 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after[0] != ':') return std::nullopt;
    if (!after.empty()) port = after.substr(1);
  } else {
    const std::size_t last = authority.rfind(':');
    out.host = authority.substr(0, last);
    if (last != std::string_view::npos) port = authority.substr(last + 1);
  }
  if (out.host.empty()) return std::nullopt;
  out.port = DefaultPort(out.scheme);
  if (!port.empty()) {
    if (port.size() > 5) return std::nullopt;
    out.port = 0;
    for (char c : port) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
      out.port = out.port * 10 + (c - '0');
    }
  }
  if (out.port < 1 || out.port > 65535) return std::nullopt;
  return out;
}

std::optional<std::string> UriOption(std::string_view uri, std::string_view key) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  const auto query = uri.find('?');
  if (query == std::string_view::npos) return std::nullopt;
  for (std::size_t at = query + 1; at < uri.size();) {
    const auto end = std::min(uri.find('&', at), uri.size());
    const std::string_view pair = uri.substr(at, end - at);
    if (pair.size() > key.size() && pair[key.size()] == '=' &&
        std::equal(key.begin(), key.end(), pair.begin(), [&](char a, char b) { return lower(a) == lower(b); }))
      return std::string(pair.substr(key.size() + 1));
    at = end + 1;
  }
  return std::nullopt;
}

std::string JoinDeviceUri(const DeviceUri& uri) {
  const bool v6 = uri.host.find(':') != std::string::npos;
  return uri.scheme + "://" + (v6 ? "[" + uri.host + "]" : uri.host) + ":" + std::to_string(uri.port) +
         uri.resource;
}

}  // namespace printing
