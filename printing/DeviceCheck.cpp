#include "DeviceCheck.h"

#include <cups/cups.h>
#include <netdb.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "CupsStatus.h"
#include "Watchdog.h"

namespace printing {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// A name lookup that may outlive the wait for it: glibc's resolver threads
// hold on to the request until they finish, so the request is freed by
// whichever of the waiter and the resolver's completion lets go last.
struct Lookup {
  std::string host, service;
  addrinfo hints{};
  gaicb request{};
  std::atomic<int> owners{2};
};

void Release(Lookup* lookup) {
  if (lookup->owners.fetch_sub(1) != 1) return;
  if (lookup->request.ar_result != nullptr) freeaddrinfo(lookup->request.ar_result);
  delete lookup;
}

void LookupDone(sigval value) { Release(static_cast<Lookup*>(value.sival_ptr)); }

// The numeric addresses of `host`, or none when the lookup fails or is not
// done by the deadline (libcups itself puts no bound on name lookups).
std::vector<std::string> Resolve(const std::string& host, int port, Clock::time_point deadline) {
  auto* lookup = new Lookup;
  lookup->host = host;
  lookup->service = std::to_string(port);
  lookup->hints.ai_socktype = SOCK_STREAM;
  lookup->hints.ai_flags = AI_ADDRCONFIG;
  lookup->request.ar_name = lookup->host.c_str();
  lookup->request.ar_service = lookup->service.c_str();
  lookup->request.ar_request = &lookup->hints;
  sigevent done{};
  done.sigev_notify = SIGEV_THREAD;
  done.sigev_notify_function = LookupDone;
  done.sigev_value.sival_ptr = lookup;
  gaicb* list[] = {&lookup->request};
  if (getaddrinfo_a(GAI_NOWAIT, list, 1, &done) != 0) {
    delete lookup;
    return {};
  }
  const gaicb* waiting[] = {&lookup->request};
  while (gai_error(&lookup->request) == EAI_INPROGRESS) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) break;
    timespec wait{left / 1000, (left % 1000) * 1000000L};
    gai_suspend(waiting, 1, &wait);
  }
  std::vector<std::string> addresses;
  const int result = gai_error(&lookup->request);
  if (result == 0) {
    for (const addrinfo* a = lookup->request.ar_result; a != nullptr; a = a->ai_next) {
      char text[NI_MAXHOST];
      if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
        addresses.emplace_back(text);
    }
  } else if (result == EAI_INPROGRESS && gai_cancel(&lookup->request) == EAI_CANCELED) {
    Release(lookup);  // cancelled: no completion will come to let go
  }
  Release(lookup);
  return addresses;
}

struct HttpClose {
  void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, HttpClose>;

int KeepWaitingUntilDeadline(http_t*, void* deadline) {
  return Clock::now() < *static_cast<Clock::time_point*>(deadline) ? 1 : 0;
}

// Asks the IPP printer on `http` for its state; printer_uri names it.
DeviceState AskIpp(http_t* http, const char* printer_uri, const char* resource, bool tls,
                   Clock::time_point deadline) {
  DeviceState state;
  state.kind = DeviceState::Unreachable;
  Watchdog watchdog(deadline, http);
  if (tls && httpEncryption(http, HTTP_ENCRYPTION_ALWAYS) != 0) return state;
  httpSetTimeout(http, 0.1, KeepWaitingUntilDeadline, &deadline);
  cupsSetPasswordCB2(NoPassword, nullptr);
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printer_uri);
  static const char* const wanted[] = {"printer-state", "printer-state-reasons", "printer-is-accepting-jobs"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
  ipp_t* response = cupsDoRequest(http, request, resource[0] ? resource : "/");
  const http_status_t answer = httpGetStatus(http);
  if (response != nullptr && cupsLastError() <= IPP_STATUS_OK_CONFLICTING) {
    state.kind = DeviceState::Reachable;
    state.has_state = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM) != nullptr;
    state.stopped = PrinterState(response) == IPP_PSTATE_STOPPED;
    state.accepting = IsAcceptingJobs(response);
    state.status = StatusBits(response);
  } else if (response != nullptr || (answer >= HTTP_STATUS_CONTINUE && Clock::now() < deadline)) {
    state.kind = DeviceState::Reachable;  // it answered, if only to refuse
  }
  ippDelete(response);
  return state;
}

// libcups resolving a DNS-SD name does not always heed its cancel flag (with
// avahi running it was seen to take 7 s), so the connection is made on a
// thread of its own that the check stops waiting for at the deadline. An
// abandoned attempt finishes on its own and closes what it opened.
struct ServiceAttempt {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  bool abandoned = false;
  int cancel = 0;
  http_t* http = nullptr;
  std::string resource;
};

http_t* ConnectService(const std::string& device_uri, Clock::time_point deadline, std::string& resource) {
  auto attempt = std::make_shared<ServiceAttempt>();
  std::thread([attempt, device_uri, msec = MillisecondsLeft(deadline)] {
    cups_dest_t dest{};
    dest.name = const_cast<char*>("device");
    dest.num_options = cupsAddOption("device-uri", device_uri.c_str(), 0, &dest.options);
    char path[1024] = "/";
    http_t* http = cupsConnectDest(&dest, CUPS_DEST_FLAGS_DEVICE, msec, &attempt->cancel, path, sizeof path,
                                   nullptr, nullptr);
    cupsFreeOptions(dest.num_options, dest.options);
    std::lock_guard<std::mutex> lock(attempt->mutex);
    if (attempt->abandoned) {
      if (http) httpClose(http);
    } else {
      attempt->http = http;
      attempt->resource = path;
    }
    attempt->done = true;
    attempt->cv.notify_one();
  }).detach();
  std::unique_lock<std::mutex> lock(attempt->mutex);
  if (!attempt->cv.wait_until(lock, deadline, [&] { return attempt->done; })) {
    attempt->abandoned = true;
    __atomic_store_n(&attempt->cancel, 1, __ATOMIC_SEQ_CST);
    return nullptr;
  }
  resource = attempt->resource;
  return attempt->http;
}

// A DNS-SD service URI ("dnssd://Name._ipp._tcp.local/"), resolved and
// connected by libcups, cancelled at the deadline.
DeviceState CheckService(const std::string& device_uri, const std::string& service, Clock::time_point deadline) {
  DeviceState state;
  const bool ipp = service.find("._ipp._tcp") != std::string::npos;
  const bool ipps = service.find("._ipps._tcp") != std::string::npos;
  // Anything else (a raw or lpd port) is only connected to: nothing is sent.
  std::string resource;
  http_t* http = ConnectService(device_uri, deadline, resource);
  state.kind = DeviceState::Unreachable;
  if (http == nullptr) return state;
  Connection connection(http);
  if (Clock::now() >= deadline) return state;
  if (!ipp && !ipps) {
    state.kind = DeviceState::Reachable;
    return state;
  }
  char host[256] = "";
  httpGetHostname(http, host, sizeof host);
  char printer_uri[HTTP_MAX_URI];
  httpAssembleURI(HTTP_URI_CODING_ALL, printer_uri, sizeof printer_uri, ipps ? "ipps" : "ipp", nullptr, host,
                  httpAddrPort(httpGetAddress(http)), resource.c_str());
  return AskIpp(http, printer_uri, resource.c_str(), false, deadline);  // libcups has already started any TLS
}

}  // namespace

DeviceState CheckDevice(const std::string& device_uri, std::chrono::milliseconds budget) {
  DeviceState state;
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_MOST, device_uri.c_str(), scheme, sizeof scheme, user, sizeof user, host,
                      sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK ||
      host[0] == '\0')
    return state;
  const std::string kind = scheme;
  if (kind == "dnssd") return CheckService(device_uri, host, Clock::now() + budget);
  const bool ipp = kind == "ipp" || kind == "ipps" || kind == "http" || kind == "https";
  const bool tcp = kind == "socket" || kind == "lpd";
  if ((!ipp && !tcp) || port <= 0) return state;
  const bool tls = kind == "ipps" || kind == "https";

  Clock::time_point deadline = Clock::now() + budget;
  state.kind = DeviceState::Unreachable;
  for (const std::string& address : Resolve(host, port, deadline)) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) break;
    // Encryption starts only once the watchdog stands: a TLS handshake has
    // waits of its own.
    Connection http(httpConnect2(address.c_str(), port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1, left, nullptr));
    if (!http) continue;
    if (tcp) {  // it took the connection; nothing is sent
      state.kind = DeviceState::Reachable;
      return state;
    }
    char printer_uri[HTTP_MAX_URI];
    httpAssembleURI(HTTP_URI_CODING_ALL, printer_uri, sizeof printer_uri, scheme, nullptr, host, port, resource);
    return AskIpp(http.get(), printer_uri, resource, tls, deadline);
  }
  return state;
}

}  // namespace printing
