#include "DeviceTransport.h"

#include <cups/cups.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <vector>

#include "CupsOwners.h"
#include "CupsStatus.h"
#include "DeviceKinds.h"
#include "DnssdBrowser.h"
#include "Scheduler.h"
#include "UsbPresence.h"

namespace printing {

Addresses HostAddresses(const std::string& host, const std::string& service, bool numeric_only) {
  Addresses found;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = numeric_only ? AI_NUMERICHOST : AI_ADDRCONFIG;
  addrinfo* list = nullptr;
  if (const int error = getaddrinfo(host.c_str(), service.c_str(), &hints, &list); error != 0) {
    // The name is not known (NXDOMAIN, no address of it), or no name server
    // gave an answer (none answered, or one failed).
    found.failed = error == EAI_NONAME || error == EAI_NODATA || error == EAI_ADDRFAMILY ? Step::NameUnknown
                                                                                         : Step::NameServerSilent;
    return found;
  }
  for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
    char text[NI_MAXHOST];
    if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
      found.emplace_back(text);
  }
  freeaddrinfo(list);
  return found;
}

namespace {

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The step at which a connection failed with `error` (an errno).
Step FailedStep(int error) {
  switch (error) {
    case ECONNREFUSED:
      return Step::Refused;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETDOWN:
    case EADDRNOTAVAIL:
      return Step::NoRoute;
    default:
      return Step::Silent;
  }
}

// A socket of `type` connected (for UDP: aimed) at the numeric `address` and
// `port`, not blocking; -1 when that fails at once, with errno saying why.
// `pending` tells whether a TCP connection is still under way.
int ConnectTo(const std::string& address, int port, int type, bool& pending) {
  addrinfo hints{};
  hints.ai_socktype = type;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* at = nullptr;
  if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &at) != 0) {
    errno = EADDRNOTAVAIL;
    return -1;
  }
  int fd = socket(at->ai_family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  pending = false;
  if (fd >= 0 && connect(fd, at->ai_addr, at->ai_addrlen) != 0) {
    if (errno == EINPROGRESS) {
      pending = true;
    } else {
      const int error = errno;
      close(fd);
      fd = -1;
      errno = error;
    }
  }
  freeaddrinfo(at);
  return fd;
}

// Waits until `fd` has `events`, at most `wait` and not once a stop is
// asked for; the events it has then.
short WaitFor(int fd, short events, std::chrono::milliseconds wait, std::stop_token stop = {}) {
  // A stop is seen within a slice of the wait.
  constexpr std::chrono::milliseconds kSlice{10};
  const Deadline until(wait);
  do {
    if (stop.stop_requested()) return 0;
    pollfd p{fd, events, 0};
    const auto slice = stop.stop_possible() ? std::min(kSlice, until.Left()) : until.Left();
    const int seen = poll(&p, 1, static_cast<int>(slice.count()));
    if (seen > 0) return p.revents;
    if (seen < 0 && errno != EINTR) return 0;
  } while (!until.Passed());
  return 0;
}

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
IppReply Ask(http_t* http, const char* printer_uri, const char* resource, bool tls, const Deadline& deadline,
             bool describe) {
  IppReply reply;
  // No peer, not even one that answers a byte at a time, holds the check
  // beyond the deadline: the connection is shut down then.
  Alarm alarm(deadline, [fd = httpGetFd(http)] { shutdown(fd, SHUT_RDWR); });
  if (tls && httpEncryption(http, HTTP_ENCRYPTION_ALWAYS) != 0) {
    reply.step = deadline.Passed() ? Step::Silent : Step::TlsFailed;
    return reply;
  }
  httpSetTimeout(http, 0.1, KeepWaitingUntilDeadline, const_cast<Deadline*>(&deadline));
  cupsSetPasswordCB2(NoPassword, nullptr);
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printer_uri);
  // Its state and supplies; to describe it, what it says of itself.
  static const char* const wanted[] = {
      "printer-state",     "printer-state-reasons", "printer-is-accepting-jobs", "marker-names",
      "marker-levels",     "marker-low-levels",     "marker-types",              "printer-supply",
      "printer-supply-description", "printer-make-and-model", "printer-info",   "printer-location",
      "queued-job-count",  "pages-per-minute"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", describe ? 14 : 9, nullptr,
                wanted);
  const Response response(cupsDoRequest(http, request, resource[0] ? resource : "/"));
  const http_status_t status = httpGetStatus(http);
  ipp_t* r = response.get();
  // libcups gives no message for an HTTP status other than 200; one that
  // came by the deadline is an answer all the same.
  reply.answered = r != nullptr || (status >= HTTP_STATUS_CONTINUE && !deadline.Passed());
  // libcups' own status for a password that nobody gave is the server's 401.
  reply.http_status = r != nullptr ? 200 : status == HTTP_STATUS_CUPS_AUTHORIZATION_CANCELED ? 401 : status;
  // No answer: the time ran out, or it hung up without one (or with bytes
  // that are no HTTP).
  if (!reply.answered) reply.step = deadline.Passed() ? Step::Silent : Step::HungUp;
  if (r == nullptr) return reply;
  reply.ipp = AnswerOf(r);
  if (describe) {
    reply.make_and_model = Text(r, "printer-make-and-model");
    reply.info = Text(r, "printer-info");
    reply.location = Text(r, "printer-location");
    reply.jobs = Integer(r, "queued-job-count");
    reply.pages_per_minute = Integer(r, "pages-per-minute");
  }
  return reply;
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

}  // namespace

Addresses CupsTransport::Lookup(const std::string& host, int port, const Deadline& deadline) {
  // Names of the local link are multicast DNS names: avahi knows them.
  const bool link_local = host.ends_with(".local") || host.ends_with(".local.");
  if (link_local && dnssd_ != nullptr) {
    std::vector<std::string> found = dnssd_->Addresses(host, deadline);
    if (!found.empty()) {
      Addresses addresses;
      addresses.assign(found.begin(), found.end());
      return addresses;
    }
  }
  return Resolve(host, port, deadline, bounds_, HostAddresses);
}

Step CupsTransport::Connects(const std::string& address, int port, std::chrono::milliseconds hold,
                             const Deadline& deadline, std::stop_token stop) {
  bool pending = false;
  const Socket s(ConnectTo(address, port, SOCK_STREAM, pending));
  if (s.get() < 0) return FailedStep(errno);
  // Waiting for the connection, POLLOUT comes with its success or its failure.
  if (pending && (WaitFor(s.get(), POLLOUT, deadline.Left(), stop) & (POLLOUT | POLLERR | POLLHUP)) == 0)
    return Step::Silent;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return Step::Silent;
  if (error != 0) return FailedStep(error);
  // A device that hangs up at once makes the connection readable: at its
  // end, or with its reset.
  const short seen = WaitFor(s.get(), POLLIN, std::min(hold, deadline.Left()), stop);
  if (stop.stop_requested()) return Step::Silent;
  if ((seen & (POLLIN | POLLHUP | POLLERR)) == 0) return Step::Answered;
  char byte;
  // It said something of its own accord: it is there.
  return recv(s.get(), &byte, 1, MSG_PEEK) > 0 ? Step::Answered : Step::HungUp;
}

std::optional<std::vector<std::uint8_t>> CupsTransport::Exchange(const std::string& address, int port,
                                                                 const std::vector<std::uint8_t>& datagram,
                                                                 const Deadline& deadline, std::stop_token stop) {
  bool pending = false;
  const Socket s(ConnectTo(address, port, SOCK_DGRAM, pending));
  if (s.get() < 0) return std::nullopt;
  std::vector<std::uint8_t> answer(64 * 1024);
  // A datagram may be lost on its way: it is sent again now and then.
  constexpr std::chrono::milliseconds kResend{500};
  while (!deadline.Passed() && !stop.stop_requested()) {
    if (send(s.get(), datagram.data(), datagram.size(), 0) < 0) return std::nullopt;  // refused (ICMP)
    const Deadline round(std::min(kResend, deadline.Left()));
    while (!round.Passed() && !stop.stop_requested()) {
      if ((WaitFor(s.get(), POLLIN, round.Left(), stop) & (POLLIN | POLLERR)) == 0) continue;
      const ssize_t got = recv(s.get(), answer.data(), answer.size(), 0);
      if (got < 0) {
        if (errno == EAGAIN || errno == EINTR) continue;
        return std::nullopt;  // ICMP unreachable: nobody there
      }
      answer.resize(static_cast<std::size_t>(got));
      return answer;
    }
  }
  return std::nullopt;
}

IppReply CupsTransport::AskIpp(const DeviceUri& uri, bool describe, const Deadline& deadline) {
  const bool tls = uri.scheme == "ipps" || uri.scheme == "https";
  IppReply failed;
  const Addresses addresses = Lookup(uri.host, uri.port, deadline);
  failed.step = addresses.empty() ? addresses.failed : Step::NotAsked;
  for (const std::string& address : addresses) {
    const int left = deadline.LeftMilliseconds();
    if (left == 0) break;
    // Encryption starts only once the alarm stands: a TLS handshake has
    // waits of its own.
    Connection http(
        httpConnect2(address.c_str(), uri.port, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1, left, nullptr));
    if (!http) {
      ConnectAgain(*this, address, uri.port, deadline, failed);  // libcups does not say how far it got
      continue;
    }
    char printer_uri[HTTP_MAX_URI];
    httpAssembleURI(HTTP_URI_CODING_ALL, printer_uri, sizeof printer_uri, uri.scheme.c_str(), nullptr,
                    uri.host.c_str(), uri.port, uri.resource.c_str());
    IppReply reply = Ask(http.get(), printer_uri, uri.resource.c_str(), tls, deadline, describe);
    reply.address = address;
    return reply;
  }
  if (failed.step == Step::NotAsked) failed.step = Step::Silent;  // no time left for any
  return failed;
}

// A DNS-SD service URI ("dnssd://Name._ipp._tcp.local/"), resolved and
// connected by libcups, cancelled at the deadline.
DeviceState CupsTransport::AskService(const std::string& device_uri, const Deadline& deadline) {
  DeviceState state;
  // Its host is the service's name; it has no port.
  const std::string service = Host(device_uri, HTTP_URI_CODING_MOST).value_or("");
  if (service.empty()) return state;
  const bool ipp = service.find("._ipp._tcp") != std::string::npos;
  const bool ipps = service.find("._ipps._tcp") != std::string::npos;
  // Anything else (a raw or lpd port) is only connected to: nothing is sent.
  const Service found = ConnectService(device_uri, deadline, bounds_);
  http_t* http = found.http.get();
  state.kind = DeviceState::Unreachable;
  // The service's instance name, as the print dialogs show it.
  state.where = service.substr(0, service.find("._"));
  if (http == nullptr || deadline.Passed()) return state;
  if (!ipp && !ipps) {
    state.kind = DeviceState::Reachable;
    return state;
  }
  char host[256] = "";
  httpGetHostname(http, host, sizeof host);
  char printer_uri[HTTP_MAX_URI];
  httpAssembleURI(HTTP_URI_CODING_ALL, printer_uri, sizeof printer_uri, ipps ? "ipps" : "ipp", nullptr, host,
                  httpAddrPort(httpGetAddress(http)), found.resource.c_str());
  // libcups has already started any TLS.
  DeviceState asked = FromIppReply(Ask(http, printer_uri, found.resource.c_str(), false, deadline, false));
  asked.where = state.where;
  return asked;
}

UsbPresence CupsTransport::FindUsb(const std::string& device_uri) { return FindUsbPrinter(device_uri, sysfs_root_); }

}  // namespace printing
