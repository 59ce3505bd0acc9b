#include "LoopbackPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace printing::testing {
namespace {

// A socket listening on a free port of 127.0.0.1, whose number goes to `port`.
int ListenOnLoopback(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("cannot listen on loopback");
  }
  port = ntohs(at.sin_port);
  return fd;
}

int ListenOnUnixSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un at{};
  at.sun_family = AF_UNIX;
  std::strncpy(at.sun_path, path.c_str(), sizeof at.sun_path - 1);
  unlink(path.c_str());
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd, 64) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("cannot listen on " + path);
  }
  return fd;
}

}  // namespace

int ClosedLoopbackPort() {
  int port = 0;
  close(ListenOnLoopback(port));
  return port;
}

LoopbackPeer::LoopbackPeer(Mode mode, const std::string& unix_path) : path_(unix_path) {
  fd_ = unix_path.empty() ? ListenOnLoopback(port_) : ListenOnUnixSocket(unix_path);
  if (mode == NeverAccepts) return;
  thread_ = std::thread([this, mode] {
    std::vector<int> held;
    while (!stop_) {
      timeval wait{0, 20000};
      setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
      const int client = accept(fd_, nullptr, nullptr);
      if (client < 0) continue;
      if (mode == Drops) {
        close(client);
        continue;
      }
      held.push_back(client);
      if (mode != Drip) continue;
      const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n";
      for (std::size_t i = 0; !stop_; i = (i + 1) % answer.size()) {
        if (send(client, &answer[i], 1, MSG_NOSIGNAL) != 1) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    for (int c : held) close(c);
  });
}

LoopbackPeer::~LoopbackPeer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  close(fd_);
  if (!path_.empty()) unlink(path_.c_str());
}

}  // namespace printing::testing
