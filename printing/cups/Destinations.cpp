#include "Destinations.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "Text.h"

namespace printing {

std::string FullName(const Destination& d) { return d.instance.empty() ? d.queue : d.queue + "/" + d.instance; }

Destination SplitName(const std::u16string& name) {
  const std::string utf8 = Utf16ToUtf8(name);
  const auto slash = utf8.find('/');
  return Destination{utf8.substr(0, slash), slash == std::string::npos ? "" : utf8.substr(slash + 1)};
}

int CompareIgnoringCase(const std::string& a, const std::string& b) {
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : static_cast<int>(static_cast<signed char>(c)); };
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int x = fold(a[i]);
    const int y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

Lpoptions ReadLpoptions() {
  std::vector<std::string> files;
  const char* root = std::getenv("CUPS_SERVERROOT");
  files.push_back(std::string(root && *root ? root : "/etc/cups") + "/lpoptions");
  if (const char* home = std::getenv("HOME"); home && *home) files.push_back(std::string(home) + "/.cups/lpoptions");
  Lpoptions out;
  for (const std::string& file : files) {
    std::ifstream in(file);
    std::string line;
    std::optional<Destination> file_default;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string keyword, name;
      if (!(words >> keyword >> name)) continue;
      const bool is_default = CompareIgnoringCase(keyword, "Default") == 0;
      if (!is_default && CompareIgnoringCase(keyword, "Dest") != 0) continue;
      const auto slash = name.find('/');
      const Destination d{name.substr(0, slash), slash == std::string::npos ? "" : name.substr(slash + 1)};
      if (is_default && !file_default && !d.queue.empty()) file_default = d;
      if (slash == std::string::npos || slash == 0 || slash + 1 == name.size()) continue;
      out.instances.push_back(d);
    }
    if (file_default) out.default_destination = file_default;
  }
  return out;
}

Destination DefaultDestination(http_t* http, const Lpoptions& options) {
  const char* named = std::getenv("LPDEST");
  if (named == nullptr || *named == '\0') named = std::getenv("PRINTER");
  if (named != nullptr && *named != '\0' && std::strcmp(named, "lp") != 0) {
    const std::string name = named;
    const auto slash = name.find('/');
    return Destination{name.substr(0, slash), slash == std::string::npos ? "" : name.substr(slash + 1)};
  }
  if (options.default_destination) return *options.default_destination;
  const char* server_default = http != nullptr ? cupsGetDefault2(http) : nullptr;
  return Destination{server_default != nullptr ? server_default : "", ""};
}

bool IsDefault(const Destination& d, const Destination& default_destination) {
  return !default_destination.queue.empty() && CompareIgnoringCase(d.queue, default_destination.queue) == 0 &&
         CompareIgnoringCase(d.instance, default_destination.instance) == 0;
}

std::vector<Destination> Listing(const std::vector<SchedulerQueue>& queues, const std::vector<FoundPrinter>& found) {
  std::vector<Destination> out;
  for (const SchedulerQueue& q : queues) out.push_back(Destination{q.name, ""});
  for (Destination& d : ReadLpoptions().instances) {
    const auto queue = std::find_if(queues.begin(), queues.end(),
                                    [&](const SchedulerQueue& q) { return CompareIgnoringCase(q.name, d.queue) == 0; });
    if (queue == queues.end()) continue;
    d.queue = queue->name;
    const bool known = std::any_of(out.begin(), out.end(), [&](const Destination& o) {
      return o.queue == d.queue && CompareIgnoringCase(o.instance, d.instance) == 0;
    });
    if (!known) out.push_back(std::move(d));
  }
  for (const FoundPrinter& p : found) out.push_back(Destination{p.name, ""});
  // The scheduler lists its queues in this order already; only the others need placing.
  const auto before = [](const Destination& a, const Destination& b) {
    if (int c = CompareIgnoringCase(a.queue, b.queue)) return c < 0;
    return CompareIgnoringCase(a.instance, b.instance) < 0;
  };
  if (!std::is_sorted(out.begin(), out.end(), before)) std::stable_sort(out.begin(), out.end(), before);
  return out;
}

}  // namespace printing
