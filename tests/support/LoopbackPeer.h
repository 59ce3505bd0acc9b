// Peers on loopback that misbehave in one way, for the tests and benchmarks
// of the bounded waits: on a TCP port of their own, or on a unix socket.
#pragma once
#include <atomic>
#include <string>
#include <thread>

namespace printing::testing {

// A port on loopback that nobody listens on.
int ClosedLoopbackPort();

class LoopbackPeer {
 public:
  enum Mode {
    NeverAccepts,  // listens, never takes a connection
    Silent,        // takes connections and never says a word
    Drip,          // answers a byte each 100 ms, forever
    Drops,         // closes each connection as it takes it
  };

  // On a free TCP port of 127.0.0.1, or on the unix socket `unix_path`.
  // Throws std::runtime_error when it cannot listen.
  explicit LoopbackPeer(Mode mode, const std::string& unix_path = "");
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  int Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace printing::testing
