#include "DeviceCheck.h"

#include <cups/cups.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <memory>
#include <vector>

#include "CupsOwners.h"
#include "CupsStatus.h"

namespace printing {

std::vector<std::string> HostAddresses(const std::string& host, const std::string& service, bool numeric_only) {
  std::vector<std::string> found;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = numeric_only ? AI_NUMERICHOST : AI_ADDRCONFIG;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) return found;
  for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
    char text[NI_MAXHOST];
    if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
      found.emplace_back(text);
  }
  freeaddrinfo(list);
  return found;
}

namespace {

int KeepWaitingUntilDeadline(http_t*, void* deadline) {
  return static_cast<const Deadline*>(deadline)->Passed() ? 0 : 1;
}

std::optional<std::string> Text(ipp_t* response, const char* name) {
  const char* value = ippGetString(ippFindAttribute(response, name, IPP_TAG_ZERO), 0, nullptr);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// Asks the IPP printer on `http` for its state, and with `describe` for its
// description; printer_uri names it.
DeviceState AskIpp(http_t* http, const char* printer_uri, const char* resource, bool tls, const Deadline& deadline,
                   bool describe) {
  DeviceState state;
  state.kind = DeviceState::Unreachable;
  // No peer, not even one that answers a byte at a time, holds the check
  // beyond the deadline: the connection is shut down then.
  Alarm alarm(deadline, [fd = httpGetFd(http)] { shutdown(fd, SHUT_RDWR); });
  if (tls && httpEncryption(http, HTTP_ENCRYPTION_ALWAYS) != 0) return state;
  httpSetTimeout(http, 0.1, KeepWaitingUntilDeadline, const_cast<Deadline*>(&deadline));
  cupsSetPasswordCB2(NoPassword, nullptr);
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printer_uri);
  static const char* const wanted[] = {"printer-state",          "printer-state-reasons", "printer-is-accepting-jobs",
                                      "printer-make-and-model", "printer-info",          "printer-location",
                                      "queued-job-count",       "pages-per-minute"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", describe ? 8 : 3, nullptr,
                wanted);
  const Response response(cupsDoRequest(http, request, resource[0] ? resource : "/"));
  const http_status_t answer = httpGetStatus(http);
  ipp_t* r = response.get();
  if (r != nullptr && cupsLastError() <= IPP_STATUS_OK_CONFLICTING) {
    state.kind = DeviceState::Reachable;
    state.has_state = ippFindAttribute(r, "printer-state", IPP_TAG_ENUM) != nullptr;
    state.stopped = PrinterState(r) == IPP_PSTATE_STOPPED;
    state.accepting = IsAcceptingJobs(r);
    state.status = StatusBits(r);
    if (describe) {
      state.make_and_model = Text(r, "printer-make-and-model");
      state.info = Text(r, "printer-info");
      state.location = Text(r, "printer-location");
      state.jobs = Integer(r, "queued-job-count");
      state.pages_per_minute = Integer(r, "pages-per-minute");
    }
  } else if (r != nullptr || (answer >= HTTP_STATUS_CONTINUE && !deadline.Passed())) {
    state.kind = DeviceState::Reachable;  // it answered, if only to refuse
  }
  return state;
}

// A connection that libcups made to a DNS-SD service, and the resource it
// found there.
struct Service {
  Connection http;
  std::string resource;
};

// libcups resolving a DNS-SD name does not always heed its cancel flag (with
// avahi running it was seen to take 7 s), so the check stops waiting for it
// at the deadline; an abandoned attempt closes what it opened once it ends.
Service ConnectService(const std::string& device_uri, const Deadline& deadline, Bounds& bounds) {
  // libcups reads the flag as a plain int while the check sets it.
  auto cancel = std::make_shared<int>(0);
  auto connected = bounds.Run<Service>(
      deadline,
      [device_uri, cancel, msec = deadline.LeftMilliseconds()] {
        cups_dest_t dest{};
        dest.name = const_cast<char*>("device");
        dest.num_options = cupsAddOption("device-uri", device_uri.c_str(), 0, &dest.options);
        char path[1024] = "/";
        Service service;
        service.http.reset(cupsConnectDest(&dest, CUPS_DEST_FLAGS_DEVICE, msec, cancel.get(), path, sizeof path,
                                           nullptr, nullptr));
        service.resource = path;
        cupsFreeOptions(dest.num_options, dest.options);
        return service;
      },
      [](Service& late) { late.http.reset(); },
      [cancel] { std::atomic_ref<int>(*cancel).store(1); });
  return connected ? std::move(*connected) : Service{};
}

// A DNS-SD service URI ("dnssd://Name._ipp._tcp.local/"), resolved and
// connected by libcups, cancelled at the deadline.
DeviceState CheckService(const std::string& device_uri, const std::string& service, const Deadline& deadline,
                         Bounds& bounds) {
  DeviceState state;
  const bool ipp = service.find("._ipp._tcp") != std::string::npos;
  const bool ipps = service.find("._ipps._tcp") != std::string::npos;
  // Anything else (a raw or lpd port) is only connected to: nothing is sent.
  const Service found = ConnectService(device_uri, deadline, bounds);
  const std::string& resource = found.resource;
  http_t* http = found.http.get();
  state.kind = DeviceState::Unreachable;
  if (http == nullptr || deadline.Passed()) return state;
  if (!ipp && !ipps) {
    state.kind = DeviceState::Reachable;
    return state;
  }
  char host[256] = "";
  httpGetHostname(http, host, sizeof host);
  char printer_uri[HTTP_MAX_URI];
  httpAssembleURI(HTTP_URI_CODING_ALL, printer_uri, sizeof printer_uri, ipps ? "ipps" : "ipp", nullptr, host,
                  httpAddrPort(httpGetAddress(http)), resource.c_str());
  return AskIpp(http, printer_uri, resource.c_str(), false, deadline, false);  // libcups has already started any TLS
}

}  // namespace

DeviceState CheckDevice(const std::string& device_uri, std::chrono::milliseconds budget, Bounds& bounds) {
  return CheckDevice(device_uri, budget, bounds, nullptr);
}

DeviceState CheckDevice(const std::string& device_uri, std::chrono::milliseconds budget, Bounds& bounds,
                        const HostLookup& lookup, bool describe) {
  const Deadline deadline(budget);
  DeviceState state;
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_MOST, device_uri.c_str(), scheme, sizeof scheme, user, sizeof user, host,
                      sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK ||
      host[0] == '\0')
    return state;
  const std::string kind = scheme;
  if (kind == "dnssd") return CheckService(device_uri, host, deadline, bounds);
  const bool ipp = kind == "ipp" || kind == "ipps" || kind == "http" || kind == "https";
  const bool tcp = kind == "socket" || kind == "lpd";
  if ((!ipp && !tcp) || port <= 0) return state;
  const bool tls = kind == "ipps" || kind == "https";

  state.kind = DeviceState::Unreachable;
  const std::vector<std::string> addresses =
      lookup ? lookup(host, port, deadline) : Resolve(host, port, deadline, bounds);
  for (const std::string& address : addresses) {
    const int left = deadline.LeftMilliseconds();
    if (left == 0) break;
    // Encryption starts only once the alarm stands: a TLS handshake has
    // waits of its own.
    Connection http(httpConnect2(address.c_str(), port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1, left, nullptr));
    if (!http) continue;
    if (tcp) {  // it took the connection; nothing is sent
      state.kind = DeviceState::Reachable;
      return state;
    }
    char printer_uri[HTTP_MAX_URI];
    httpAssembleURI(HTTP_URI_CODING_ALL, printer_uri, sizeof printer_uri, scheme, nullptr, host, port, resource);
    return AskIpp(http.get(), printer_uri, resource, tls, deadline, describe);
  }
  return state;
}

}  // namespace printing
