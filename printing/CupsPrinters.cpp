#include "CupsPrinters.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "CupsStatus.h"
#include "DeviceCheck.h"
#include "Text.h"
#include "UsbPresence.h"

namespace printing {
namespace {

struct HttpClose {
  void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, HttpClose>;

struct IppDelete {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Response = std::unique_ptr<ipp_t, IppDelete>;

struct AddressListFree {
  void operator()(http_addrlist_t* list) const { httpAddrFreeList(list); }
};

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
  std::unique_ptr<http_addrlist_t, AddressListFree> addresses;
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

// The scheduler's queue names (printers and classes), asking for nothing
// else; false when it does not answer in time.
bool QueueNames(http_t* http, std::vector<std::string>& out) {
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               "printer-name");
  Response response(cupsDoRequest(http, request, "/"));
  const ipp_status_t status = cupsLastError();
  // No queue at all is an answer too.
  if (status == IPP_STATUS_ERROR_NOT_FOUND) return true;
  if (!response || status > IPP_STATUS_OK_CONFLICTING) return false;
  for (ipp_attribute_t* a = ippFirstAttribute(response.get()); a != nullptr;
       a = ippNextAttribute(response.get())) {
    if (ippGetGroupTag(a) != IPP_TAG_PRINTER || ippGetName(a) == nullptr ||
        std::strcmp(ippGetName(a), "printer-name") != 0)
      continue;
    if (const char* name = ippGetString(a, 0, nullptr)) out.emplace_back(name);
  }
  return true;
}

struct Destination {
  std::string queue;
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

// The instances ("Dest queue/instance" and "Default queue/instance" lines)
// of the system's and the user's lpoptions files, as libcups reads them.
std::vector<Destination> Instances() {
  std::vector<std::string> files;
  const char* root = std::getenv("CUPS_SERVERROOT");
  files.push_back(std::string(root && *root ? root : "/etc/cups") + "/lpoptions");
  if (const char* home = std::getenv("HOME"); home && *home) files.push_back(std::string(home) + "/.cups/lpoptions");
  std::vector<Destination> out;
  for (const std::string& file : files) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string keyword, name;
      if (!(words >> keyword >> name)) continue;
      if (CompareIgnoringCase(keyword, "Dest") != 0 && CompareIgnoringCase(keyword, "Default") != 0) continue;
      const auto slash = name.find('/');
      if (slash == std::string::npos || slash == 0 || slash + 1 == name.size()) continue;
      out.push_back(Destination{name.substr(0, slash), name.substr(slash + 1)});
    }
  }
  return out;
}

// The destinations in the order lpstat -e lists them: every queue, and the
// instances of the lpoptions files whose queue exists, each after its queue.
bool Destinations(http_t* http, std::vector<Destination>& out) {
  std::vector<std::string> queues;
  if (!QueueNames(http, queues)) return false;
  for (const std::string& q : queues) out.push_back(Destination{q, ""});
  for (Destination& d : Instances()) {
    const auto queue = std::find_if(queues.begin(), queues.end(),
                                    [&](const std::string& q) { return CompareIgnoringCase(q, d.queue) == 0; });
    if (queue == queues.end()) continue;
    d.queue = *queue;
    const bool known = std::any_of(out.begin(), out.end(), [&](const Destination& o) {
      return o.queue == d.queue && CompareIgnoringCase(o.instance, d.instance) == 0;
    });
    if (!known) out.push_back(std::move(d));
  }
  // The scheduler lists its queues in this order already; only instances need placing.
  const auto before = [](const Destination& a, const Destination& b) {
    if (int c = CompareIgnoringCase(a.queue, b.queue)) return c < 0;
    return CompareIgnoringCase(a.instance, b.instance) < 0;
  };
  if (!std::is_sorted(out.begin(), out.end(), before)) std::stable_sort(out.begin(), out.end(), before);
  return true;
}

// Whether queue/instance is the destination that libcups takes as this
// user's default (LPDEST, PRINTER, the lpoptions files, then the scheduler's).
bool IsDefault(http_t* http, const std::string& queue, const std::string& instance) {
  cups_dest_t* dest = cupsGetNamedDest(http, nullptr, nullptr);
  if (dest == nullptr) return false;
  const bool same = dest->name != nullptr && CompareIgnoringCase(dest->name, queue) == 0 &&
                    CompareIgnoringCase(dest->instance ? dest->instance : "", instance) == 0;
  cupsFreeDests(1, dest);
  return same;
}

void SplitName(const std::u16string& name, std::string& queue, std::string& instance) {
  const std::string utf8 = Utf16ToUtf8(name);
  const auto slash = utf8.find('/');
  queue = utf8.substr(0, slash);
  instance = slash == std::string::npos ? "" : utf8.substr(slash + 1);
}

// Get-Printer-Attributes for `queue` (a printer or a class).
Response QueueAttributes(http_t* http, const std::string& queue, const std::vector<const char*>& wanted,
                         std::int32_t& error) {
  if (queue.empty() || queue.find_first_of("#?\t\n\r ") != std::string::npos) {
    error = ERROR_INVALID_PRINTER_NAME;
    return nullptr;
  }
  for (const char* resource : {"/printers/", "/classes/"}) {
    char uri[HTTP_MAX_URI];
    if (httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                         "%s%s", resource, queue.c_str()) < HTTP_URI_STATUS_OK) {
      error = ERROR_INVALID_PRINTER_NAME;
      return nullptr;
    }
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(wanted.size()), nullptr, wanted.data());
    Response response(cupsDoRequest(http, request, "/"));
    const ipp_status_t status = cupsLastError();
    if (response && status <= IPP_STATUS_OK_CONFLICTING) {
      error = ERROR_SUCCESS;
      return response;
    }
    if (status != IPP_STATUS_ERROR_NOT_FOUND) {
      error = response ? ERROR_ACCESS_DENIED : RPC_S_SERVER_UNAVAILABLE;
      return nullptr;
    }
  }
  error = ERROR_INVALID_PRINTER_NAME;
  return nullptr;
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

// The host part of a URI, or nothing.
std::optional<std::string> Host(const std::string& uri) {
  char scheme[HTTP_MAX_URI], user[HTTP_MAX_URI], host[HTTP_MAX_URI], resource[HTTP_MAX_URI];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_NONE, uri.c_str(), scheme, sizeof scheme, user, sizeof user, host,
                      sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK ||
      host[0] == '\0')
    return std::nullopt;
  return std::string(host);
}

// Whether the scheduler is on this machine: a unix socket or a loopback name.
bool SchedulerIsLocal() {
  const std::string server = cupsServer();
  return !server.empty() && (server[0] == '/' || server == "localhost" || server.rfind("127.", 0) == 0 ||
                             server == "::1" || server == "[::1]");
}

}  // namespace

PrinterCollection CupsPrinters::Printers() {
  std::vector<PrinterObject> items;
  Scheduler http = Connect(bounds_);
  std::vector<Destination> dests;
  if (http && Destinations(http.get(), dests)) {
    for (const Destination& d : dests)
      items.push_back(PrinterObject{Utf8ToUtf16(FullName(d)), static_cast<std::int32_t>(items.size())});
  }
  return PrinterCollection(std::move(items));
}

std::int32_t CupsPrinters::Open(std::int32_t /*handle*/, const std::u16string& name) {
  std::string queue, instance;
  SplitName(name, queue, instance);
  Scheduler http = Connect(bounds_);
  if (!http) return RPC_S_SERVER_UNAVAILABLE;
  std::int32_t error = ERROR_SUCCESS;
  if (!QueueAttributes(http.get(), queue, {"printer-name"}, error)) return error;
  if (instance.empty()) return ERROR_SUCCESS;
  const std::vector<Destination> instances = Instances();
  const bool known = std::any_of(instances.begin(), instances.end(), [&](const Destination& d) {
    return CompareIgnoringCase(d.queue, queue) == 0 && d.instance == instance;
  });
  return known ? ERROR_SUCCESS : ERROR_INVALID_PRINTER_NAME;
}

std::int32_t CupsPrinters::Describe(std::int32_t /*handle*/, const std::u16string& name, Record& record) {
  std::string queue, instance;
  SplitName(name, queue, instance);
  Scheduler http = Connect(bounds_);
  if (!http) return RPC_S_SERVER_UNAVAILABLE;
  std::int32_t error = ERROR_SUCCESS;
  Response attrs = QueueAttributes(http.get(), queue,
                                   {"printer-name", "printer-info", "printer-location",
                                    "printer-make-and-model", "device-uri", "printer-state",
                                    "printer-state-reasons", "printer-is-accepting-jobs",
                                    "printer-is-shared", "printer-type", "queued-job-count",
                                    "pages-per-minute"},
                                   error);
  if (!attrs) return error;
  const bool is_default = IsDefault(http.get(), queue, instance);

  ipp_t* a = attrs.get();
  const std::int32_t type = Integer(a, "printer-type");
  const bool remote = (type & CUPS_PRINTER_REMOTE) != 0;
  const bool shared = Boolean(a, "printer-is-shared", false);
  std::int32_t status = StatusBits(a);
  const std::optional<std::string> device = Text(a, "device-uri");

  Record r;
  r.PrinterName = Utf16ToUtf8(name);
  if (remote && device) r.ServerName = Host(*device);
  if (shared) r.ShareName = queue;
  if (device) r.PortName = WithoutCredentials(*device);
  r.DriverName = Text(a, "printer-make-and-model");
  r.Comment = Text(a, "printer-info");
  r.Location = Text(a, "printer-location");

  std::int32_t attributes = remote ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL;
  if (is_default) attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  if (shared) attributes |= PRINTER_ATTRIBUTE_SHARED;
  if (type & CUPS_PRINTER_FAX) attributes |= PRINTER_ATTRIBUTE_FAX;
  bool offline = PrinterState(a) == IPP_PSTATE_STOPPED || !IsAcceptingJobs(a);
  // The scheduler keeps a queue idle until a job fails on it: ask a network
  // device itself, when the scheduler runs here and so sees the same network,
  // and look for a USB printer on this machine's bus.
  if (device && SchedulerIsLocal()) {
    const UsbPresence usb = FindUsbPrinter(*device, sysfs_root_);
    DeviceState checked;
    if (usb == UsbPresence::NotUsb)
      checked = CheckDevice(*device, kDeviceCheckTimeout, bounds_);
    else if (usb == UsbPresence::Absent)
      checked.kind = DeviceState::Unreachable;
    if (checked.kind == DeviceState::Unreachable) {
      offline = true;
      status |= PRINTER_STATUS_OFFLINE;
    } else if (checked.kind == DeviceState::Reachable && checked.has_state) {
      status |= checked.status;
      if (checked.stopped || !checked.accepting) offline = true;
    }
  }
  if (offline || (status & PRINTER_STATUS_OFFLINE)) attributes |= PRINTER_ATTRIBUTE_WORK_OFFLINE;
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
