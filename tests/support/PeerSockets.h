// What the loopback peers of the tests share of sockets on Linux and on
// Windows (Winsock): the descriptor, closing it, starting Winsock, and
// waiting until a socket can be read.
#pragma once
#ifdef _WIN32
#include "WindowsApi.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace printing::testing::sockets {

#ifdef _WIN32
using Fd = SOCKET;
inline constexpr Fd kNone = INVALID_SOCKET;
inline void CloseFd(Fd fd) { closesocket(fd); }
inline bool SocketsReady() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}
#else
using Fd = int;
inline constexpr Fd kNone = -1;
inline void CloseFd(Fd fd) { close(fd); }
inline bool SocketsReady() { return true; }
#endif

// Whether `fd` can be read (or accepted on) within `ms`.
inline bool Readable(Fd fd, int ms) {
#ifdef _WIN32
  fd_set set;
  FD_ZERO(&set);
  FD_SET(fd, &set);
  timeval wait{ms / 1000, ms % 1000 * 1000};
  return select(0, &set, nullptr, nullptr, &wait) > 0;
#else
  pollfd one{fd, POLLIN, 0};
  return poll(&one, 1, ms) > 0;
#endif
}

}  // namespace printing::testing::sockets
