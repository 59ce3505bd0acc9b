#include "ImplicitClass.h"

#include <algorithm>
#include <sstream>

#include "Destinations.h"
#include "FoundPrinters.h"

namespace printing {

std::optional<std::string> ImplicitClassQueue(const std::string& device_uri) {
  if (device_uri.rfind("implicitclass://", 0) != 0) return std::nullopt;
  return Host(device_uri, HTTP_URI_CODING_ALL);
}

std::optional<std::string> BrowsedDestination(const std::optional<std::string>& value) {
  if (!value) return std::nullopt;
  std::istringstream words(*value);
  std::string job, uri;
  if (!(words >> job >> uri)) return std::nullopt;
  if (!uri.empty() && uri.back() == '"') uri.pop_back();
  if (uri.find("://") == std::string::npos) return std::nullopt;
  return uri;
}

namespace {

// The host part of a name with a trailing dot or not: "desk.local." is "desk.local".
std::string WithoutTrailingDot(const std::string& host) {
  return !host.empty() && host.back() == '.' ? host.substr(0, host.size() - 1) : host;
}

bool Behind(const FoundPrinter& printer, const std::string& queue) {
  if (CompareIgnoringCase(printer.name, queue) == 0) return true;
  // Where the name is taken (by a queue made by hand for the same printer),
  // cups-browsed names its queue NAME@HOST: HOST as avahi resolved the
  // printer's host, or "localhost" for one found on the loopback interface.
  if (const auto at = queue.rfind('@'); at != std::string::npos && at > 0) {
    const std::string host = queue.substr(at + 1);
    const bool same_host = printer.on_loopback ? CompareIgnoringCase(host, "localhost") == 0
                                               : CompareIgnoringCase(host, WithoutTrailingDot(printer.host)) == 0;
    if (same_host && CompareIgnoringCase(printer.name, queue.substr(0, at)) == 0) return true;
  }
  for (const std::string prefix : {"/printers/", "/classes/"})
    if (printer.resource.rfind(prefix, 0) == 0 && CompareIgnoringCase(printer.resource.substr(prefix.size()), queue) == 0)
      return true;
  return false;
}

}  // namespace

std::vector<FoundPrinter> PrintersBehind(const std::vector<FoundPrinter>& services, const std::string& queue) {
  std::vector<FoundPrinter> behind;
  for (const FoundPrinter& p : services) {
    if (!Behind(p, queue)) continue;
    const auto same = std::find_if(behind.begin(), behind.end(), [&](const FoundPrinter& b) {
      return b.service == p.service && b.domain == p.domain;
    });
    if (same == behind.end())
      behind.push_back(p);
    else if (Better(p, *same))
      *same = p;
  }
  return behind;
}

}  // namespace printing
