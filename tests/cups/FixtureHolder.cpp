// Brings up the fixtures of the network-queue tests, as a test program does,
// and holds them until it is killed: a private scheduler with a queue, and a
// loopback IPP printer with its avahi-daemon and D-Bus daemon.
//   fixture_holder
// Writes "folder DIR" once the scheduler's folder is there and "ready" once
// everything answers.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>

#include "PrivateScheduler.h"

#ifndef KAVRO_IPP_DEVICE
#error "KAVRO_IPP_DEVICE must name scripts/ipp-device.sh"
#endif

namespace {

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
  getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
  close(fd);
  return ntohs(at.sin_port);
}

}  // namespace

int main() {
  try {
    cupstest::PrivateScheduler scheduler;
    std::printf("folder %s\n", scheduler.Dir().c_str());
    std::fflush(stdout);
    scheduler.Start();
    scheduler.Run("lpadmin -p Office -E -v file:///dev/null");
    scheduler.Run(std::string("'") + KAVRO_IPP_DEVICE + "' start '" + scheduler.Dir() + "/device' " +
                  std::to_string(FreePort()));
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fixture_holder: %s\n", e.what());
    return 1;
  }
}
