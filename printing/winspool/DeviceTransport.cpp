#include "DeviceTransport.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "Text.h"

// Last: see WindowsApi.h.
#include "WindowsApi.h"

namespace printing {
namespace {

// Winsock, started once for the rest of the program.
bool WinsockReady() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

std::wstring Wide(const std::string& utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return std::wstring(wide.begin(), wide.end());
}

// The step at which a connection failed with Winsock's `error`, and a name
// lookup with GetAddrInfoW's.
Step ConnectFailure(int error) {
  switch (error) {
    case WSAECONNREFUSED:
      return Step::Refused;
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN:
    case WSAEADDRNOTAVAIL:
      return Step::NoRoute;
    default:
      return Step::Silent;
  }
}

Step LookupFailure(int error) {
  // WSAHOST_NOT_FOUND is EAI_NONAME; WSANO_DATA a name without an address.
  return error == WSAHOST_NOT_FOUND || error == WSANO_DATA ? Step::NameUnknown : Step::NameServerSilent;
}

}  // namespace

Addresses HostAddresses(const std::string& host, const std::string& service, bool numeric_only) {
  Addresses found;
  if (!WinsockReady()) {
    found.failed = Step::NameServerSilent;
    return found;
  }
  ADDRINFOW hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = numeric_only ? AI_NUMERICHOST : 0;
  ADDRINFOW* list = nullptr;
  if (const int error = GetAddrInfoW(Wide(host).c_str(), Wide(service).c_str(), &hints, &list); error != 0) {
    found.failed = LookupFailure(error);
    return found;
  }
  for (const ADDRINFOW* a = list; a != nullptr; a = a->ai_next) {
    char text[NI_MAXHOST];
    if (getnameinfo(a->ai_addr, static_cast<int>(a->ai_addrlen), text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
      found.emplace_back(text);
  }
  FreeAddrInfoW(list);
  return found;
}

namespace {

class Socket {
 public:
  explicit Socket(SOCKET s) : s_(s) {}
  ~Socket() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  SOCKET get() const { return s_; }

 private:
  SOCKET s_;
};

// How a wait for a socket ended.
enum class Waited { Ready, NotYet, Failed };

// Waits until `s` is ready as `write` or `read` asks, at most `wait` and not
// once a stop is asked for.
Waited WaitFor(SOCKET s, bool write, std::chrono::milliseconds wait, std::stop_token stop = {}) {
  // A stop is seen within a slice of the wait.
  constexpr std::chrono::milliseconds kSlice{10};
  const Deadline until(wait);
  do {
    if (stop.stop_requested()) return Waited::NotYet;
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    const auto ms = (stop.stop_possible() ? std::min(kSlice, until.Left()) : until.Left()).count();
    timeval timeout{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
    const int seen = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &timeout);
    if (seen < 0) return Waited::Failed;
    if (seen > 0) return FD_ISSET(s, &ready) && !FD_ISSET(s, &failed) ? Waited::Ready : Waited::Failed;
  } while (!until.Passed());
  return Waited::NotYet;
}

bool Ready(SOCKET s, bool write, std::chrono::milliseconds wait, std::stop_token stop = {}) {
  return WaitFor(s, write, wait, stop) == Waited::Ready;
}

}  // namespace

Step SpoolerTransport::Connects(const std::string& address, int port, std::chrono::milliseconds hold,
                                const Deadline& deadline, std::stop_token stop) {
  if (!WinsockReady()) return Step::Silent;
  ADDRINFOW hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST;
  ADDRINFOW* at = nullptr;
  if (GetAddrInfoW(Wide(address).c_str(), std::to_wstring(port).c_str(), &hints, &at) != 0) return Step::NoRoute;
  Socket s(socket(at->ai_family, SOCK_STREAM, IPPROTO_TCP));
  u_long nonblocking = 1;
  Step step = Step::Silent;
  if (s.get() != INVALID_SOCKET && ioctlsocket(s.get(), FIONBIO, &nonblocking) == 0) {
    if (connect(s.get(), at->ai_addr, static_cast<int>(at->ai_addrlen)) == 0) {
      step = Step::Answered;
    } else if (const int error = WSAGetLastError(); error != WSAEWOULDBLOCK) {
      step = ConnectFailure(error);
    } else {
      // A connection that fails shows in the failed set, its error in SO_ERROR.
      const Waited waited = WaitFor(s.get(), true, deadline.Left(), stop);
      if (waited != Waited::NotYet) {
        int failure = 0;
        int length = sizeof failure;
        if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &length) != 0)
          step = Step::Silent;
        else if (failure != 0)
          step = ConnectFailure(failure);
        else
          step = waited == Waited::Ready ? Step::Answered : Step::Silent;
      }
    }
  }
  FreeAddrInfoW(at);
  if (step != Step::Answered) return step;
  // A device that hangs up at once makes the connection readable: at its
  // end, or with its reset.
  const auto wait = std::min(hold, deadline.Left());
  const bool readable = Ready(s.get(), false, wait, stop);
  if (stop.stop_requested()) return Step::Silent;
  if (!readable) return Step::Answered;
  char byte;
  // It said something of its own accord: it is there.
  return recv(s.get(), &byte, 1, MSG_PEEK) > 0 ? Step::Answered : Step::HungUp;
}

std::optional<std::vector<std::uint8_t>> SpoolerTransport::Exchange(const std::string& address, int port,
                                                                    const std::vector<std::uint8_t>& datagram,
                                                                    const Deadline& deadline,
                                                                    std::stop_token stop) {
  if (!WinsockReady()) return std::nullopt;
  ADDRINFOW hints{};
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICHOST;
  ADDRINFOW* at = nullptr;
  if (GetAddrInfoW(Wide(address).c_str(), std::to_wstring(port).c_str(), &hints, &at) != 0) return std::nullopt;
  Socket s(socket(at->ai_family, SOCK_DGRAM, IPPROTO_UDP));
  const bool aimed = s.get() != INVALID_SOCKET && connect(s.get(), at->ai_addr, static_cast<int>(at->ai_addrlen)) == 0;
  FreeAddrInfoW(at);
  if (!aimed) return std::nullopt;
  std::vector<std::uint8_t> answer(64 * 1024);
  // A datagram may be lost on its way: it is sent again now and then.
  constexpr std::chrono::milliseconds kResend{500};
  while (!deadline.Passed() && !stop.stop_requested()) {
    if (send(s.get(), reinterpret_cast<const char*>(datagram.data()), static_cast<int>(datagram.size()), 0) ==
        SOCKET_ERROR)
      return std::nullopt;
    const Deadline round(std::min(kResend, deadline.Left()));
    while (!round.Passed() && !stop.stop_requested()) {
      if (!Ready(s.get(), false, round.Left(), stop)) continue;
      const int got = recv(s.get(), reinterpret_cast<char*>(answer.data()), static_cast<int>(answer.size()), 0);
      if (got == SOCKET_ERROR) return std::nullopt;  // WSAECONNRESET: the port is unreachable (ICMP)
      answer.resize(static_cast<std::size_t>(got));
      return answer;
    }
  }
  return std::nullopt;
}

namespace {

// One IPP request over WinHTTP in its asynchronous mode, which a deadline can
// give up on: WinHTTP's own timeouts do not bound a peer that answers a byte
// at a time. WinHTTP calls back on threads of its own, also after the check
// has given up, until the request handle is closed; the exchange lives that
// long (it holds itself until then).
struct IppExchange {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  bool answered = false;  // a status line came back
  DWORD error = ERROR_SUCCESS;  // of a request that failed
  std::string address;          // of the server it connected to
  DWORD http_status = 0;
  std::vector<std::uint8_t> body;
  std::atomic<bool> given_up{false};
  std::vector<std::uint8_t> request;  // what WinHTTP sends, kept while it may
  std::array<std::uint8_t, 4096> chunk{};
  std::shared_ptr<IppExchange> self;

  void End() {
    std::lock_guard lock(mutex);
    ended = true;
    changed.notify_all();
  }
};

void CALLBACK OnEvent(HINTERNET request, DWORD_PTR context, DWORD event, void* info, DWORD length) {
  auto* x = reinterpret_cast<IppExchange*>(context);
  if (x == nullptr) return;
  if (event == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
    const std::shared_ptr<IppExchange> last = std::move(x->self);  // may end the exchange
    return;
  }
  if (x->given_up) return;
  switch (event) {
    case WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER:
      if (info != nullptr) {
        const auto* wide = static_cast<const wchar_t*>(info);
        std::lock_guard lock(x->mutex);
        x->address = Utf16ToUtf8(std::u16string(wide, wide + wcsnlen(wide, 64)));
      }
      break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
      if (!WinHttpReceiveResponse(request, nullptr)) x->End();
      break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE: {
      DWORD status = 0, size = sizeof status;
      WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                          &status, &size, WINHTTP_NO_HEADER_INDEX);
      {
        std::lock_guard lock(x->mutex);
        x->answered = true;
        x->http_status = status;
      }
      if (!WinHttpReadData(request, x->chunk.data(), static_cast<DWORD>(x->chunk.size()), nullptr)) x->End();
      break;
    }
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE: {
      bool more = length > 0;
      {
        std::lock_guard lock(x->mutex);
        if (x->body.size() + length > kIppMaxAnswer) {
          x->body.clear();  // longer than any state: not read further
          more = false;
        } else {
          x->body.insert(x->body.end(), x->chunk.begin(), x->chunk.begin() + length);
        }
      }
      if (!more || !WinHttpReadData(request, x->chunk.data(), static_cast<DWORD>(x->chunk.size()), nullptr))
        x->End();
      break;
    }
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      if (info != nullptr) {
        std::lock_guard lock(x->mutex);
        x->error = static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError;
      }
      x->End();
      break;
    default:
      break;
  }
}

// Closes WinHTTP handles, the request first.
struct Handles {
  HINTERNET session = nullptr, connection = nullptr, request = nullptr;
  ~Handles() {
    for (HINTERNET h : {request, connection, session})
      if (h != nullptr) WinHttpCloseHandle(h);
  }
};

}  // namespace

IppReply SpoolerTransport::AskIpp(const DeviceUri& uri, bool /*describe*/, const Deadline& deadline) {
  IppReply state;
  const std::uint32_t request_id = 1;
  auto x = std::make_shared<IppExchange>();
  x->request = PrinterStateRequest(JoinDeviceUri(uri), request_id);
  if (x->request.empty()) return state;
  const bool tls = uri.scheme == "https" || uri.scheme == "ipps";

  Handles h;
  h.session = WinHttpOpen(L"KAVRO_TEST_PRINTERS", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
  if (h.session == nullptr) return state;
  const int left = deadline.LeftMilliseconds();
  if (left == 0) return state;  // and WinHTTP would take 0 for no timeout at all
  WinHttpSetTimeouts(h.session, left, left, left, left);
  h.connection = WinHttpConnect(h.session, Wide(uri.host).c_str(), static_cast<INTERNET_PORT>(uri.port), 0);
  if (h.connection == nullptr) return state;
  h.request = WinHttpOpenRequest(h.connection, L"POST", Wide(uri.resource).c_str(), nullptr, WINHTTP_NO_REFERER,
                                 WINHTTP_DEFAULT_ACCEPT_TYPES, tls ? WINHTTP_FLAG_SECURE : 0);
  if (h.request == nullptr) return state;
  DWORD receive = static_cast<DWORD>(left);
  WinHttpSetOption(h.request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &receive, sizeof receive);
  // Never a password, never somewhere else; a printer's own certificate will do.
  DWORD never = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
  WinHttpSetOption(h.request, WINHTTP_OPTION_AUTOLOGON_POLICY, &never, sizeof never);
  DWORD disabled = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_KEEP_ALIVE;
  WinHttpSetOption(h.request, WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
  if (tls) {
    DWORD any = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
    WinHttpSetOption(h.request, WINHTTP_OPTION_SECURITY_FLAGS, &any, sizeof any);
  }
  DWORD_PTR context = reinterpret_cast<DWORD_PTR>(x.get());
  if (!WinHttpSetOption(h.request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) return state;
  if (WinHttpSetStatusCallback(h.request, OnEvent,
                               WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES |
                                   WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER,
                               0) == WINHTTP_INVALID_STATUS_CALLBACK)
    return state;
  // From here on WinHTTP holds the exchange until it has closed the request.
  x->self = x;
  if (!WinHttpSendRequest(h.request, L"Content-Type: application/ipp\r\n", static_cast<DWORD>(-1),
                          x->request.data(), static_cast<DWORD>(x->request.size()),
                          static_cast<DWORD>(x->request.size()), context)) {
    const DWORD error = GetLastError();
    x->given_up = true;
    return Failed(uri, error, deadline);
  }
  std::unique_lock lock(x->mutex);
  x->changed.wait_until(lock, deadline.At(), [&] { return x->ended; });
  x->given_up = true;
  state.address = x->address;
  // Not done by the deadline, whatever came of it so far: no answer.
  if (!x->ended) return state;
  if (!x->answered) {
    const DWORD error = x->error;
    lock.unlock();
    IppReply failed = Failed(uri, error, deadline);
    if (failed.address.empty()) failed.address = state.address;
    return failed;
  }
  state.answered = true;
  state.http_status = static_cast<int>(x->http_status);
  state.ipp = ReadIppAnswer(x->body.data(), x->body.size());
  return state;
}



Addresses SpoolerTransport::Lookup(const std::string& host, int port, const Deadline& deadline) {
  return Resolve(host, port, deadline, bounds_, HostAddresses);
}

IppReply SpoolerTransport::Failed(const DeviceUri& uri, unsigned long error, const Deadline& deadline) {
  IppReply reply;
  switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT: {
      // WinHTTP does not say how far it got: the name is looked up, and each
      // address connected to, once more (an unknown name, a refusal or no
      // route answer at once).
      const Addresses addresses = Lookup(uri.host, uri.port, deadline);
      reply.step = addresses.empty() ? addresses.failed : Step::NotAsked;
      for (const std::string& address : addresses) ConnectAgain(*this, address, uri.port, deadline, reply);
      if (reply.step == Step::NotAsked) reply.step = Step::Silent;
      break;
    }
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
      reply.step = Step::TlsFailed;
      break;
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      reply.step = deadline.Passed() ? Step::Silent : Step::HungUp;
      break;
    default:  // ERROR_WINHTTP_TIMEOUT, and what else keeps the answer away
      reply.step = Step::Silent;
      break;
  }
  return reply;
}

}  // namespace printing
