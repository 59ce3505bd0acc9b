#include "FoundPrinters.h"

#include <algorithm>

#include "Destinations.h"

namespace printing {
namespace {

// The service name of a dnssd:// device URI ("dnssd://Name._ipp._tcp.local/").
std::string ServiceOf(const std::string& device_uri) {
  if (device_uri.rfind("dnssd://", 0) != 0) return "";
  const std::string service = Host(device_uri, HTTP_URI_CODING_ALL).value_or("");
  return service.substr(0, service.find("._ipp"));
}

std::string WithoutUrnPrefix(const std::string& uuid) {
  return uuid.rfind("urn:uuid:", 0) == 0 ? uuid.substr(9) : uuid;
}

}  // namespace

bool StandsFor(const SchedulerQueue& queue, const FoundPrinter& printer) {
  if (CompareIgnoringCase(queue.name, printer.name) == 0) return true;
  const std::string service = ServiceOf(queue.device_uri);
  if (!service.empty() && CompareIgnoringCase(DestinationName(service), printer.name) == 0) return true;
  return !printer.uuid.empty() &&
         CompareIgnoringCase(WithoutUrnPrefix(queue.uuid), WithoutUrnPrefix(printer.uuid)) == 0;
}

bool Better(const FoundPrinter& a, const FoundPrinter& b) {
  if (a.Secure() != b.Secure()) return a.Secure();
  return a.domain == "local" && b.domain != "local";
}

std::vector<FoundPrinter> FoundDestinations(const std::vector<FoundPrinter>& services) {
  std::vector<FoundPrinter> best;
  for (const FoundPrinter& p : services) {
    const auto same = std::find_if(best.begin(), best.end(),
                                   [&](const FoundPrinter& b) { return CompareIgnoringCase(b.name, p.name) == 0; });
    if (same == best.end())
      best.push_back(p);
    else if (Better(p, *same))
      *same = p;
  }
  std::erase_if(best, [](const FoundPrinter& p) { return !TakesDocuments(p.pdl); });
  return best;
}

std::string AskedUri(const FoundPrinter& p) {
  char uri[HTTP_MAX_URI];
  if (httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, p.Secure() ? "ipps" : "ipp", nullptr, p.host.c_str(),
                      p.port, p.resource.c_str()) < HTTP_URI_STATUS_OK)
    return std::string();
  return uri;
}

}  // namespace printing
