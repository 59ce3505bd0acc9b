// Peers on loopback that misbehave in one way, for the tests and benchmarks
// of the bounded waits, and devices that answer with a state of their own:
// on a TCP port of their own (on Linux and Windows), or on a unix socket
// (Linux).
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace printing::testing {

// A port on loopback that nobody listens on.
int ClosedLoopbackPort();

// A supply as an IPP printer says it in its marker-* attributes.
struct Marker {
  std::string name, type;  // "Black Toner", "toner"
  std::int32_t level, low;
};
// What an IPP printer answers to Get-Printer-Attributes, as an HTTP response.
std::string IppPrinterAnswer(std::int32_t state, bool accepting, const std::vector<std::string>& reasons,
                             const std::vector<Marker>& markers = {});
// An HTTP response with `status` ("404 Not Found") and no body.
std::string HttpAnswer(const std::string& status);
// What an IPP server answers that refuses a request with `status` (0x0406
// client-error-not-found, 0x0401 client-error-not-authorized, ...): the
// status and no printer attributes, in an HTTP response "200 OK".
std::string IppStatusAnswer(std::uint16_t status);

class LoopbackPeer {
 public:
  enum Mode {
    NeverAccepts,  // listens, never takes a connection
    Silent,        // takes connections and never says a word
    Drip,          // answers a byte each 100 ms, forever
    Drops,         // closes each connection as it takes it
    Garbage,       // reads a request, answers bytes that are no HTTP and hangs up
    Blurts,        // says bytes that are no HTTP (nor TLS) at once, and hangs up
    Full,          // its queue of connections is full: a new one is never answered
  };
  // Reads each HTTP request and answers it with `answer` (IppPrinterAnswer),
  // with the request's IPP request-id, then hangs up.
  struct Answer {
    std::string response;
  };

  // On a free TCP port of 127.0.0.1, or on the unix socket `unix_path`.
  // Throws std::runtime_error when it cannot listen.
  explicit LoopbackPeer(Mode mode, const std::string& unix_path = "");
  // On TCP port `port` of 127.0.0.1 (a well-known one needs root, and a
  // network namespace of its own where the machine's services are not).
  LoopbackPeer(Mode mode, int port);
  explicit LoopbackPeer(Answer answer);
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  int Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  void Serve(Mode mode, std::string answer);

  std::intptr_t fd_ = -1;  // the listening socket
  std::intptr_t filler_ = -1;  // Full: the connection that fills its queue
  int port_ = 0;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace printing::testing
