#include "CupsPrinters.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "CupsOwners.h"
#include "CupsStatus.h"
#include "PrinterState.h"
#include "Text.h"
#include "UsbPresence.h"

namespace printing {
namespace {

// A connection to the scheduler that the environment names, null when none
// can be made in time (its name looked up and the connection made within
// the connect timeout). Every answer on it must come within the answer
// timeout: at that deadline the connection is shut down, however far the
// answer has got. (libcups' own read timeout doubles the time it takes to
// read a long answer.)
struct Scheduler {
  Connection http;
  std::unique_ptr<Alarm> alarm;
  explicit operator bool() const { return http != nullptr; }
  http_t* get() const { return http.get(); }
};

Scheduler Connect(Bounds& bounds) {
  const Deadline connecting(CupsPrinters::kConnectTimeout);
  const std::string server = cupsServer();
  const int port = ippPort();
  AddressList addresses;
  if (server.empty() || server[0] != '/') {
    // Numbers only, which libcups takes without a lookup of its own; it
    // tries them all, as it does the addresses it looks up itself.
    std::string host = server;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    http_addrlist_t* tail = nullptr;
    for (const std::string& address : Resolve(host, port, connecting, bounds)) {
      http_addrlist_t* more = httpAddrGetList(address.c_str(), AF_UNSPEC, std::to_string(port).c_str());
      if (more == nullptr) continue;
      if (tail == nullptr)
        addresses.reset(more);
      else
        tail->next = more;
      for (tail = more; tail->next != nullptr; tail = tail->next) {
      }
    }
    if (!addresses) return {};
  }
  Scheduler s;
  s.http.reset(httpConnect2(server.c_str(), port, addresses.get(), AF_UNSPEC, cupsEncryption(), 1,
                            connecting.LeftMilliseconds(), nullptr));
  cupsSetPasswordCB2(NoPassword, nullptr);
  if (s.http)
    s.alarm = std::make_unique<Alarm>(Deadline(CupsPrinters::kAnswerTimeout),
                                      [fd = httpGetFd(s.http.get())] { shutdown(fd, SHUT_RDWR); });
  return s;
}

using Queue = SchedulerQueue;

std::string String(ipp_attribute_t* a) {
  const char* value = ippGetString(a, 0, nullptr);
  return value != nullptr ? value : "";
}

// The scheduler's queues, with their device URIs and UUIDs when asked; nothing
// when it does not answer in time.
std::optional<std::vector<Queue>> Queues(http_t* http, bool identities) {
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  static const char* const wanted[] = {"printer-name", "device-uri", "printer-uuid"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", identities ? 3 : 1, nullptr,
                wanted);
  const Response response(cupsDoRequest(http, request, "/"));
  const ipp_status_t status = cupsLastError();
  std::vector<Queue> queues;
  // No queue at all is an answer too.
  if (status == IPP_STATUS_ERROR_NOT_FOUND) return queues;
  if (!response || status > IPP_STATUS_OK_CONFLICTING) return std::nullopt;
  // One queue after another, each its own group of printer attributes.
  Queue queue;
  const auto flush = [&] {
    if (!queue.name.empty()) queues.push_back(std::move(queue));
    queue = Queue{};
  };
  for (ipp_attribute_t* a = ippFirstAttribute(response.get()); a != nullptr; a = ippNextAttribute(response.get())) {
    if (ippGetGroupTag(a) != IPP_TAG_PRINTER || ippGetName(a) == nullptr) {
      flush();
      continue;
    }
    const std::string_view name = ippGetName(a);
    if (name == "printer-name") queue.name = String(a);
    else if (name == "device-uri") queue.device_uri = String(a);
    else if (name == "printer-uuid") queue.uuid = String(a);
  }
  flush();
  return queues;
}

struct Destination {
  std::string queue;     // or the name of a printer found on the network
  std::string instance;  // empty for the queue itself
};

std::string FullName(const Destination& d) {
  return d.instance.empty() ? d.queue : d.queue + "/" + d.instance;
}

// Compares as libcups orders destinations: A to Z folded to lower case, every
// other byte as a signed char, so that names beyond ASCII come first.
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

// What the system's and the user's lpoptions files say, as libcups reads
// them: the instances ("Dest queue/instance" and "Default queue/instance"
// lines) and the default destination, the user's over the system's.
struct Lpoptions {
  std::vector<Destination> instances;
  std::optional<Destination> default_destination;
};

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

// The user's default destination, as libcups takes it: LPDEST, PRINTER
// (other than "lp"), the lpoptions files, else the scheduler's default.
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

// The host part of a URI, percent-decoded with `coding`, or nothing.
std::optional<std::string> Host(const std::string& uri, http_uri_coding_t coding = HTTP_URI_CODING_NONE) {
  char scheme[HTTP_MAX_URI], user[HTTP_MAX_URI], host[HTTP_MAX_URI], resource[HTTP_MAX_URI];
  int port = 0;
  if (httpSeparateURI(coding, uri.c_str(), scheme, sizeof scheme, user, sizeof user, host, sizeof host, &port,
                      resource, sizeof resource) < HTTP_URI_STATUS_OK ||
      host[0] == '\0')
    return std::nullopt;
  return std::string(host);
}

// The service name of a dnssd:// device URI ("dnssd://Name._ipp._tcp.local/").
std::string ServiceOf(const std::string& device_uri) {
  if (device_uri.rfind("dnssd://", 0) != 0) return "";
  const std::string service = Host(device_uri, HTTP_URI_CODING_ALL).value_or("");
  return service.substr(0, service.find("._ipp"));
}

// The queue that an implicitclass:// device URI names, percent-decoded.
std::optional<std::string> ImplicitClassQueue(const std::string& device_uri) {
  if (device_uri.rfind("implicitclass://", 0) != 0) return std::nullopt;
  return Host(device_uri, HTTP_URI_CODING_ALL);
}

std::string WithoutUrnPrefix(const std::string& uuid) {
  return uuid.rfind("urn:uuid:", 0) == 0 ? uuid.substr(9) : uuid;
}

// Whether `queue` stands for the printer found on the network, so that it is
// listed once, as the queue: the same name (cups-browsed names its queues
// so), the same DNS-SD service as its device, or the same UUID.
bool StandsFor(const Queue& queue, const FoundPrinter& printer) {
  if (CompareIgnoringCase(queue.name, printer.name) == 0) return true;
  const std::string service = ServiceOf(queue.device_uri);
  if (!service.empty() && CompareIgnoringCase(DestinationName(service), printer.name) == 0) return true;
  return !printer.uuid.empty() &&
         CompareIgnoringCase(WithoutUrnPrefix(queue.uuid), WithoutUrnPrefix(printer.uuid)) == 0;
}

// Whether `a` is the better service of one destination: ipps over ipp, the
// local domain over others, as libcups chooses.
bool Better(const FoundPrinter& a, const FoundPrinter& b) {
  if (a.Secure() != b.Secure()) return a.Secure();
  return a.domain == "local" && b.domain != "local";
}

// The printers found that libcups offers as destinations: one for each
// destination name, of the services that take documents.
std::vector<FoundPrinter> Destinations(const std::vector<FoundPrinter>& services) {
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

// The destinations in the order lpstat -e lists them: every queue, the
// instances of the lpoptions files whose queue exists, and the printers
// found on the network that no queue stands for, sorted as libcups sorts.
std::vector<Destination> Listing(const std::vector<Queue>& queues, const std::vector<FoundPrinter>& found) {
  std::vector<Destination> out;
  for (const Queue& q : queues) out.push_back(Destination{q.name, ""});
  for (Destination& d : ReadLpoptions().instances) {
    const auto queue = std::find_if(queues.begin(), queues.end(),
                                    [&](const Queue& q) { return CompareIgnoringCase(q.name, d.queue) == 0; });
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

Destination SplitName(const std::u16string& name) {
  const std::string utf8 = Utf16ToUtf8(name);
  const auto slash = utf8.find('/');
  return Destination{utf8.substr(0, slash), slash == std::string::npos ? "" : utf8.substr(slash + 1)};
}

// Get-Printer-Attributes for `queue` (a printer or a class): its attributes,
// or the error that stands for why there are none.
struct QueueAnswer {
  Response attributes;
  std::int32_t error = ERROR_SUCCESS;
};

QueueAnswer QueueAttributes(http_t* http, const std::string& queue, const std::vector<const char*>& wanted) {
  if (queue.empty() || queue.find_first_of("#?\t\n\r ") != std::string::npos)
    return {nullptr, ERROR_INVALID_PRINTER_NAME};
  for (const char* resource : {"/printers/", "/classes/"}) {
    char uri[HTTP_MAX_URI];
    if (httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                         "%s%s", resource, queue.c_str()) < HTTP_URI_STATUS_OK)
      return {nullptr, ERROR_INVALID_PRINTER_NAME};
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(wanted.size()), nullptr, wanted.data());
    Response response(cupsDoRequest(http, request, "/"));
    const ipp_status_t status = cupsLastError();
    if (response && status <= IPP_STATUS_OK_CONFLICTING) return {std::move(response), ERROR_SUCCESS};
    if (status != IPP_STATUS_ERROR_NOT_FOUND)
      return {nullptr, response ? ERROR_ACCESS_DENIED : RPC_S_SERVER_UNAVAILABLE};
  }
  return {nullptr, ERROR_INVALID_PRINTER_NAME};
}

std::optional<std::string> Text(ipp_t* response, const char* name) {
  ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
  if (attr == nullptr || ippGetCount(attr) < 1) return std::nullopt;
  const char* value = ippGetString(attr, 0, nullptr);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// The device URI without any user:password before its host.
std::string WithoutCredentials(const std::string& uri) {
  const auto scheme_end = uri.find("://");
  if (scheme_end == std::string::npos) return uri;
  const auto host_start = scheme_end + 3;
  const auto authority_end = std::min(uri.find_first_of("/?#", host_start), uri.size());
  const auto at = uri.rfind('@', authority_end - 1);
  if (at == std::string::npos || at < host_start || authority_end == host_start) return uri;
  return uri.substr(0, host_start) + uri.substr(at + 1);
}

// The printer URI that cups-browsed chose for the queue's last job, from its
// cups-browsed-dest-printer-default ("\"JOB URI FORMAT RESOLUTION\""); none
// when it found no destination then.
std::optional<std::string> BrowsedDestination(const std::optional<std::string>& value) {
  if (!value) return std::nullopt;
  std::istringstream words(*value);
  std::string job, uri;
  if (!(words >> job >> uri)) return std::nullopt;
  if (!uri.empty() && uri.back() == '"') uri.pop_back();
  if (uri.find("://") == std::string::npos) return std::nullopt;
  return uri;
}

// Whether a service found on the network is a printer behind the
// cups-browsed queue `queue`: cups-browsed names its queues after the
// service, as libcups does, or after the queue it stands for on a CUPS server.
bool Behind(const FoundPrinter& printer, const std::string& queue) {
  if (CompareIgnoringCase(printer.name, queue) == 0) return true;
  for (const std::string prefix : {"/printers/", "/classes/"})
    if (printer.resource.rfind(prefix, 0) == 0 && CompareIgnoringCase(printer.resource.substr(prefix.size()), queue) == 0)
      return true;
  return false;
}

// The URI a found printer is asked at.
std::string DeviceUri(const FoundPrinter& p) {
  char uri[HTTP_MAX_URI];
  if (httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, p.Secure() ? "ipps" : "ipp", nullptr, p.host.c_str(),
                      p.port, p.resource.c_str()) < HTTP_URI_STATUS_OK)
    return std::string();
  return uri;
}

// Whether a device answered, and said nothing that keeps it from printing.
bool Ready(const DeviceState& device) {
  std::int32_t attributes = 0, status = 0;
  AddDeviceState(device, attributes, status);
  return device.kind == DeviceState::Reachable && (attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) == 0;
}

// Whether the scheduler is on this machine: a unix socket or a loopback name.
bool SchedulerIsLocal() {
  const std::string server = cupsServer();
  return !server.empty() && (server[0] == '/' || server == "localhost" || server.rfind("127.", 0) == 0 ||
                             server == "::1" || server == "[::1]");
}

}  // namespace

PrinterCollection CupsPrinters::Printers() {
  // Only a scheduler on this machine sees the network this machine sees.
  const bool browse = SchedulerIsLocal();
  if (browse) dnssd_.Start();
  listed_found_.clear();
  Scheduler http = Connect(bounds_);
  if (!http) return PrinterCollection();
  const std::vector<FoundPrinter> found = browse ? Destinations(dnssd_.Services()) : std::vector<FoundPrinter>{};
  // Which printers found the queues stand for takes their device URIs and
  // UUIDs, which more than double the scheduler's answer: they are asked for
  // again only when the queues' names have changed, or after a while.
  const bool identities_fresh = Clock::now() - identified_at_ < kQueueIdentityAge;
  std::optional<std::vector<Queue>> queues = Queues(http.get(), !found.empty() && !identities_fresh);
  if (!queues) return PrinterCollection();
  if (!found.empty()) {
    const bool same_names = std::equal(queues->begin(), queues->end(), identified_.begin(), identified_.end(),
                                       [](const Queue& a, const Queue& b) { return a.name == b.name; });
    if (identities_fresh && same_names) {
      queues = identified_;
    } else {
      if (identities_fresh) queues = Queues(http.get(), true);
      if (!queues) return PrinterCollection();
      identified_ = *queues;
      identified_at_ = Clock::now();
    }
  }
  std::vector<FoundPrinter> unqueued;
  for (const FoundPrinter& p : found)
    if (std::none_of(queues->begin(), queues->end(), [&](const Queue& q) { return StandsFor(q, p); }))
      unqueued.push_back(p);
  std::vector<PrinterObject> items;
  for (const Destination& d : Listing(*queues, unqueued))
    items.push_back(PrinterObject{Utf8ToUtf16(FullName(d)), static_cast<std::int32_t>(items.size())});
  for (FoundPrinter& p : unqueued) {
    const std::string name = p.name;
    listed_found_.emplace(name, std::move(p));
  }
  return PrinterCollection(std::move(items));
}

std::int32_t CupsPrinters::Open(std::int32_t /*handle*/, const std::u16string& name) {
  const Destination wanted = SplitName(name);
  if (const auto listed = listed_found_.find(FullName(wanted)); listed != listed_found_.end()) {
    // Still on the network: as it is there now.
    for (FoundPrinter& p : Destinations(dnssd_.Services()))
      if (p.name == listed->second.name) {
        listed->second = std::move(p);
        return ERROR_SUCCESS;
      }
    return ERROR_INVALID_PRINTER_NAME;
  }
  Scheduler http = Connect(bounds_);
  if (!http) return RPC_S_SERVER_UNAVAILABLE;
  if (const QueueAnswer answer = QueueAttributes(http.get(), wanted.queue, {"printer-name"}); !answer.attributes)
    return answer.error;
  if (wanted.instance.empty()) return ERROR_SUCCESS;
  const std::vector<Destination> instances = ReadLpoptions().instances;
  const bool known = std::any_of(instances.begin(), instances.end(), [&](const Destination& d) {
    return CompareIgnoringCase(d.queue, wanted.queue) == 0 && d.instance == wanted.instance;
  });
  return known ? ERROR_SUCCESS : ERROR_INVALID_PRINTER_NAME;
}

DeviceState CupsPrinters::Check(const std::string& device_uri, bool describe) {
  const HostLookup lookup = [this](const std::string& host, int port, const Deadline& deadline) {
    // Names of the local link are multicast DNS names: avahi knows them.
    const bool link_local = host.ends_with(".local") || host.ends_with(".local.");
    if (link_local) {
      std::vector<std::string> found = dnssd_.Addresses(host, deadline);
      if (!found.empty()) return found;
    }
    return Resolve(host, port, deadline, bounds_);
  };
  return CheckDevice(device_uri, kDeviceCheckTimeout, bounds_, lookup, describe);
}

DeviceState CupsPrinters::CheckBehind(const std::string& queue, const std::optional<std::string>& browsed_default) {
  std::vector<FoundPrinter> behind;
  for (const FoundPrinter& p : dnssd_.Services()) {
    if (!Behind(p, queue)) continue;
    // One service offered both as ipp and ipps is asked once.
    const auto same = std::find_if(behind.begin(), behind.end(), [&](const FoundPrinter& b) {
      return b.service == p.service && b.domain == p.domain;
    });
    if (same == behind.end())
      behind.push_back(p);
    else if (Better(p, *same))
      *same = p;
  }
  if (behind.empty()) {
    if (const std::optional<std::string> uri = BrowsedDestination(browsed_default)) return Check(*uri);
    return DeviceState{};  // the scheduler's view stands
  }
  // All at once, each within the one bound: ready when one of them is.
  std::vector<std::future<DeviceState>> asked;
  for (const FoundPrinter& p : behind)
    asked.push_back(std::async(std::launch::async, [this, uri = DeviceUri(p)] { return Check(uri); }));
  std::vector<DeviceState> answers;
  for (auto& a : asked) answers.push_back(a.get());
  for (const auto& wanted : {+[](const DeviceState& d) { return Ready(d); },
                             +[](const DeviceState& d) { return d.kind == DeviceState::Reachable; }})
    if (const auto it = std::find_if(answers.begin(), answers.end(), wanted); it != answers.end()) return *it;
  return answers.front();
}

std::int32_t CupsPrinters::DescribeFound(const FoundPrinter& p, Record& record) {
  DeviceState checked = Check(DeviceUri(p), /*describe=*/true);
  if (checked.kind == DeviceState::NotChecked) checked.kind = DeviceState::Unreachable;
  const auto either = [](const std::optional<std::string>& asked, const std::string& advertised) {
    return asked && !asked->empty() ? *asked : advertised;
  };
  Record r;
  r.PrinterName = p.name;
  r.PortName = p.Uri();
  r.DriverName = either(checked.make_and_model, p.make_and_model);
  r.Comment = either(checked.info, p.service);
  if (std::string location = either(checked.location, p.location); !location.empty()) r.Location = location;
  std::int32_t attributes = PRINTER_ATTRIBUTE_NETWORK;
  if (IsDefault(Destination{p.name, ""}, DefaultDestination(nullptr, ReadLpoptions())))
    attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  std::int32_t status = 0;
  AddDeviceState(checked, attributes, status);
  r.Attributes = attributes;
  r.Priority = 1;
  r.DefaultPriority = 1;
  r.Status = status;
  r.Jobs = checked.jobs;
  r.AveragePPM = checked.pages_per_minute;
  record = std::move(r);
  return ERROR_SUCCESS;
}

std::int32_t CupsPrinters::Describe(std::int32_t /*handle*/, const std::u16string& name, Record& record) {
  const Destination wanted = SplitName(name);
  if (const auto listed = listed_found_.find(FullName(wanted)); listed != listed_found_.end())
    return DescribeFound(listed->second, record);
  Scheduler http = Connect(bounds_);
  if (!http) return RPC_S_SERVER_UNAVAILABLE;
  const QueueAnswer answer =
      QueueAttributes(http.get(), wanted.queue,
                      {"printer-name", "printer-info", "printer-location", "printer-make-and-model", "device-uri",
                       "printer-state", "printer-state-reasons", "printer-is-accepting-jobs", "printer-is-shared",
                       "printer-type", "queued-job-count", "pages-per-minute", "cups-browsed-dest-printer-default"});
  if (!answer.attributes) return answer.error;
  const bool is_default = IsDefault(wanted, DefaultDestination(http.get(), ReadLpoptions()));

  ipp_t* a = answer.attributes.get();
  const std::int32_t type = Integer(a, "printer-type");
  const bool remote = (type & CUPS_PRINTER_REMOTE) != 0;
  const bool shared = Boolean(a, "printer-is-shared", false);
  std::int32_t status = StatusBits(a);
  const std::optional<std::string> device = Text(a, "device-uri");

  Record r;
  r.PrinterName = Utf16ToUtf8(name);
  if (remote && device) r.ServerName = Host(*device);
  if (shared) r.ShareName = wanted.queue;
  if (device) r.PortName = WithoutCredentials(*device);
  r.DriverName = Text(a, "printer-make-and-model");
  r.Comment = Text(a, "printer-info");
  r.Location = Text(a, "printer-location");

  std::int32_t attributes = remote ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL;
  if (is_default) attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  if (shared) attributes |= PRINTER_ATTRIBUTE_SHARED;
  if (type & CUPS_PRINTER_FAX) attributes |= PRINTER_ATTRIBUTE_FAX;
  if (PrinterState(a) == IPP_PSTATE_STOPPED || !IsAcceptingJobs(a)) attributes |= PRINTER_ATTRIBUTE_WORK_OFFLINE;
  // The scheduler keeps a queue idle until a job fails on it: ask a network
  // device itself, when the scheduler runs here and so sees the same network,
  // look behind a cups-browsed queue, and look for a USB printer on this
  // machine's bus.
  if (device && SchedulerIsLocal()) {
    DeviceState checked;
    if (const std::optional<std::string> queue = ImplicitClassQueue(*device)) {
      checked = CheckBehind(*queue, Text(a, "cups-browsed-dest-printer-default"));
    } else if (const UsbPresence usb = FindUsbPrinter(*device, sysfs_root_); usb == UsbPresence::NotUsb) {
      checked = Check(*device);
    } else if (usb == UsbPresence::Absent) {
      checked.kind = DeviceState::Unreachable;
    }
    AddDeviceState(checked, attributes, status);
  }
  // The scheduler's own word that the printer is offline (offline-report).
  if (status & PRINTER_STATUS_OFFLINE) attributes |= PRINTER_ATTRIBUTE_WORK_OFFLINE;
  r.Attributes = attributes;
  r.Priority = 1;
  r.DefaultPriority = 1;
  r.Status = status;
  r.Jobs = Integer(a, "queued-job-count");
  r.AveragePPM = Integer(a, "pages-per-minute");
  record = std::move(r);
  return ERROR_SUCCESS;
}

}  // namespace printing
