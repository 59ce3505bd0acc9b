#include "DnssdBrowser.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#include <cups/http.h>
#include <net/if.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

namespace printing {
namespace {

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// libcups keeps names of up to 127 bytes.
constexpr std::size_t kLongestName = 127;

const char* const kTypes[] = {"_ipp._tcp", "_ipps._tcp"};

}  // namespace

std::string DestinationName(std::string_view service) {
  std::string name;
  for (const char c : service) {
    if (name.size() == kLongestName) break;
    if (IsAsciiAlnum(c))
      name += c;
    else if (name.empty() || name.back() != '_')
      name += '_';
  }
  return name;
}

bool TakesDocuments(std::string_view pdl) {
  if (pdl.empty()) return true;
  std::size_t start = 0;
  while (start <= pdl.size()) {
    const std::size_t comma = std::min(pdl.find(',', start), pdl.size());
    const std::string_view format = pdl.substr(start, comma - start);
    for (const char* wanted : {"application/pdf", "image/pwg-raster", "image/urf"})
      if (EqualIgnoringCase(format, wanted)) return true;
    start = comma + 1;
  }
  return false;
}

std::string FoundPrinter::Uri() const {
  const std::string full = service + "." + type + "." + domain;
  char uri[HTTP_MAX_URI];
  if (httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, Secure() ? "ipps" : "ipp", nullptr, full.c_str(), 0,
                      cups_type ? "/cups" : "/") < HTTP_URI_STATUS_OK)
    return std::string();
  return uri;
}

// What the browser shares with avahi's thread. Avahi calls back with its
// own lock held and then takes `mutex`; the owner's thread never takes
// avahi's lock while holding `mutex`.
struct DnssdBrowser::Shared {
  using Key = std::tuple<AvahiIfIndex, AvahiProtocol, std::string, std::string, std::string>;
  struct Entry {
    AvahiServiceResolver* resolver = nullptr;
    bool answered = false;  // the resolver has answered once
    bool resolved = false;  // and found the service
    FoundPrinter printer;
  };

  std::mutex mutex;
  std::condition_variable changed;
  // Under mutex.
  std::thread starter;
  bool starting = false;
  bool browsing = false;  // the client runs and its browsers are made
  bool lost = false;      // the daemon went away; the next start begins anew
  bool failed = false;    // no system bus: nothing to browse, nor to try again
  Clock::time_point wait_until;
  bool looked = false;  // the first look since the start has returned
  int exhausted = 0;    // browsers that have given what avahi had cached
  int finished = 0;     // browsers that have said it is all for now, or failed
  bool cached = false;  // avahi's cache held services
  int unanswered = 0;
  std::map<Key, Entry> entries;
  // Set once avahi's thread runs; freed by Stop() alone.
  AvahiThreadedPoll* poll = nullptr;
  AvahiClient* client = nullptr;

  // Whether what avahi knows has all arrived.
  bool Settled() const {
    if (starting) return false;
    if (!browsing) return true;
    if (unanswered > 0) return false;
    return finished == 2 || (exhausted == 2 && cached);
  }

  void Run();
  static void ClientChanged(AvahiClient* client, AvahiClientState state, void* self);
  static void Browsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
                      const char* name, const char* type, const char* domain, AvahiLookupResultFlags flags,
                      void* self);
  static void Resolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol protocol,
                       AvahiResolverEvent event, const char* name, const char* type, const char* domain,
                       const char* host, const AvahiAddress*, uint16_t port, AvahiStringList* txt,
                       AvahiLookupResultFlags, void* self);
};

void DnssdBrowser::Shared::Run() {
  AvahiThreadedPoll* threaded = avahi_threaded_poll_new();
  AvahiClient* made = nullptr;
  if (threaded != nullptr) {
    int error = 0;
    // Without a daemon it waits for one to appear; without a system bus it fails.
    made = avahi_client_new(avahi_threaded_poll_get(threaded), AVAHI_CLIENT_NO_FAIL, ClientChanged, this, &error);
    if (made == nullptr || avahi_threaded_poll_start(threaded) < 0) {
      if (made != nullptr) avahi_client_free(made);
      avahi_threaded_poll_free(threaded);
      made = nullptr;
      threaded = nullptr;
    }
  }
  std::lock_guard lock(mutex);
  poll = threaded;
  client = made;
  if (client == nullptr) {
    browsing = false;
    failed = true;
  }
  starting = false;
  changed.notify_all();
}

void DnssdBrowser::Shared::ClientChanged(AvahiClient* client, AvahiClientState state, void* self) {
  auto* shared = static_cast<Shared*>(self);
  if (state == AVAHI_CLIENT_S_RUNNING) {
    std::lock_guard lock(shared->mutex);
    if (shared->browsing) return;
    int made = 0;
    for (const char* type : kTypes)
      if (avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type, nullptr,
                                    static_cast<AvahiLookupFlags>(0), Browsed, shared) != nullptr)
        ++made;
    shared->finished = 2 - made;
    shared->exhausted = 2 - made;
    shared->browsing = made > 0;
  } else if (state == AVAHI_CLIENT_FAILURE) {
    // Its browsers and resolvers go with the client, freed by Stop().
    std::lock_guard lock(shared->mutex);
    shared->browsing = false;
    shared->lost = true;
    shared->entries.clear();
    shared->unanswered = 0;
  } else {
    return;
  }
  shared->changed.notify_all();
}

void DnssdBrowser::Shared::Browsed(AvahiServiceBrowser* browser, AvahiIfIndex interface, AvahiProtocol protocol,
                                   AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                                   AvahiLookupResultFlags flags, void* self) {
  auto* shared = static_cast<Shared*>(self);
  std::lock_guard lock(shared->mutex);
  switch (event) {
    case AVAHI_BROWSER_NEW: {
      Key key{interface, protocol, name, type, domain};
      if (shared->entries.count(key) != 0) return;
      Entry& entry = shared->entries[key];
      // Its TXT record, host and port; the address is looked up when the printer is asked.
      entry.resolver = avahi_service_resolver_new(avahi_service_browser_get_client(browser), interface, protocol,
                                                  name, type, domain, AVAHI_PROTO_UNSPEC, AVAHI_LOOKUP_NO_ADDRESS,
                                                  Resolved, shared);
      entry.answered = entry.resolver == nullptr;
      if (!entry.answered) ++shared->unanswered;
      if (flags & AVAHI_LOOKUP_RESULT_CACHED) shared->cached = true;
      break;
    }
    case AVAHI_BROWSER_REMOVE: {
      const auto it = shared->entries.find(Key{interface, protocol, name, type, domain});
      if (it == shared->entries.end()) return;
      if (it->second.resolver != nullptr) avahi_service_resolver_free(it->second.resolver);
      if (!it->second.answered) --shared->unanswered;
      shared->entries.erase(it);
      break;
    }
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
      ++shared->exhausted;
      break;
    case AVAHI_BROWSER_ALL_FOR_NOW:
    case AVAHI_BROWSER_FAILURE:
      ++shared->finished;
      break;
  }
  shared->changed.notify_all();
}

void DnssdBrowser::Shared::Resolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol protocol,
                                    AvahiResolverEvent event, const char* name, const char* type, const char* domain,
                                    const char* host, const AvahiAddress*, uint16_t port, AvahiStringList* txt,
                                    AvahiLookupResultFlags, void* self) {
  auto* shared = static_cast<Shared*>(self);
  std::lock_guard lock(shared->mutex);
  const auto it = shared->entries.find(Key{interface, protocol, name, type, domain});
  if (it == shared->entries.end() || it->second.resolver != resolver) return;
  Entry& entry = it->second;
  if (!entry.answered) {
    entry.answered = true;
    --shared->unanswered;
  }
  if (event != AVAHI_RESOLVER_FOUND) {
    // A service that does not resolve is not offered; its resolver has ended.
    avahi_service_resolver_free(resolver);
    entry.resolver = nullptr;
    entry.resolved = false;
    shared->changed.notify_all();
    return;
  }
  FoundPrinter p;
  p.service = name;
  p.name = DestinationName(p.service);
  p.type = type;
  p.domain = domain;
  p.host = host != nullptr ? host : "";
  char interface_name[IF_NAMESIZE];
  p.on_loopback = interface >= 0 && if_indextoname(static_cast<unsigned>(interface), interface_name) != nullptr &&
                  std::string_view(interface_name) == "lo";
  p.port = port;
  p.resource = "/";
  for (AvahiStringList* item = txt; item != nullptr; item = avahi_string_list_get_next(item)) {
    char* key = nullptr;
    char* value = nullptr;
    if (avahi_string_list_get_pair(item, &key, &value, nullptr) != 0) continue;
    const std::string_view k = key;
    const std::string v = value != nullptr ? value : "";
    if (EqualIgnoringCase(k, "rp"))
      p.resource = "/" + v;
    else if (EqualIgnoringCase(k, "UUID"))
      p.uuid = v;
    else if (EqualIgnoringCase(k, "ty"))
      p.make_and_model = v.substr(0, v.find(','));
    else if (EqualIgnoringCase(k, "note"))
      p.location = v;
    else if (EqualIgnoringCase(k, "pdl"))
      p.pdl = v;
    else if (EqualIgnoringCase(k, "printer-type"))
      p.cups_type = true;
    avahi_free(key);
    avahi_free(value);
  }
  entry.printer = std::move(p);
  entry.resolved = true;
  shared->changed.notify_all();
}

DnssdBrowser::DnssdBrowser() : shared_(std::make_shared<Shared>()) {}

DnssdBrowser::~DnssdBrowser() { Stop(); }

void DnssdBrowser::Start() {
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->failed || (!shared_->lost && (shared_->starting || shared_->client != nullptr))) return;
  }
  Stop();
  std::lock_guard lock(shared_->mutex);
  Shared& s = *shared_;
  s.starting = true;
  s.browsing = false;
  s.lost = false;
  s.looked = false;
  s.wait_until = Clock::now() + kFirstWait;
  s.exhausted = s.finished = s.unanswered = 0;
  s.cached = false;
  s.starter = std::thread([shared = shared_.get()] { shared->Run(); });
}

void DnssdBrowser::Stop() {
  std::thread starter;
  {
    std::lock_guard lock(shared_->mutex);
    starter = std::move(shared_->starter);
  }
  if (starter.joinable()) starter.join();
  AvahiThreadedPoll* poll;
  AvahiClient* client;
  {
    std::lock_guard lock(shared_->mutex);
    poll = std::exchange(shared_->poll, nullptr);
    client = std::exchange(shared_->client, nullptr);
    shared_->browsing = false;
  }
  // Avahi's thread ends first: no callback runs while the client goes.
  if (poll != nullptr) avahi_threaded_poll_stop(poll);
  if (client != nullptr) avahi_client_free(client);
  if (poll != nullptr) avahi_threaded_poll_free(poll);
  std::lock_guard lock(shared_->mutex);
  shared_->entries.clear();
  shared_->unanswered = 0;
}

std::vector<FoundPrinter> DnssdBrowser::Services() {
  Start();
  std::unique_lock lock(shared_->mutex);
  Shared& s = *shared_;
  if (!s.looked) {
    s.changed.wait_until(lock, s.wait_until, [&] { return s.Settled(); });
    s.looked = true;
  }
  // A service seen on several interfaces or protocols is one.
  std::map<std::tuple<std::string, std::string, std::string>, const FoundPrinter*> services;
  for (const auto& [key, entry] : s.entries)
    if (entry.resolved)
      services.emplace(std::make_tuple(entry.printer.service, entry.printer.type, entry.printer.domain),
                       &entry.printer);
  std::vector<FoundPrinter> found;
  found.reserve(services.size());
  for (const auto& [key, printer] : services) found.push_back(*printer);
  return found;
}

namespace {

struct HostLookup {
  std::mutex mutex;
  std::condition_variable done;
  bool answered = false;
  std::vector<std::string> addresses;
};

void HostResolved(AvahiHostNameResolver*, AvahiIfIndex interface, AvahiProtocol, AvahiResolverEvent event,
                  const char*, const AvahiAddress* address, AvahiLookupResultFlags, void* self) {
  auto* lookup = static_cast<HostLookup*>(self);
  std::lock_guard lock(lookup->mutex);
  if (event == AVAHI_RESOLVER_FOUND && address != nullptr) {
    char text[AVAHI_ADDRESS_STR_MAX + IF_NAMESIZE + 1];
    avahi_address_snprint(text, sizeof text, address);
    std::string numeric = text;
    // A link-local IPv6 address is reached through its interface.
    char interface_name[IF_NAMESIZE];
    if (address->proto == AVAHI_PROTO_INET6 && numeric.rfind("fe80:", 0) == 0 &&
        if_indextoname(static_cast<unsigned>(interface), interface_name) != nullptr)
      numeric += std::string("%") + interface_name;
    lookup->addresses.push_back(numeric);
  }
  lookup->answered = true;
  lookup->done.notify_all();
}

}  // namespace

std::vector<std::string> DnssdBrowser::Addresses(const std::string& host, const Deadline& deadline) {
  AvahiThreadedPoll* poll;
  AvahiClient* client;
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->browsing) return {};
    poll = shared_->poll;
    client = shared_->client;
  }
  if (poll == nullptr || client == nullptr) return {};
  HostLookup lookup;
  avahi_threaded_poll_lock(poll);
  AvahiHostNameResolver* resolver =
      avahi_host_name_resolver_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, host.c_str(), AVAHI_PROTO_UNSPEC,
                                   static_cast<AvahiLookupFlags>(0), HostResolved, &lookup);
  avahi_threaded_poll_unlock(poll);
  if (resolver == nullptr) return {};
  {
    std::unique_lock lock(lookup.mutex);
    lookup.done.wait_until(lock, deadline.At(), [&] { return lookup.answered; });
  }
  // Under avahi's lock no callback runs, so `lookup` is not used after this.
  avahi_threaded_poll_lock(poll);
  avahi_host_name_resolver_free(resolver);
  avahi_threaded_poll_unlock(poll);
  std::lock_guard lock(lookup.mutex);
  return lookup.addresses;
}

}  // namespace printing
