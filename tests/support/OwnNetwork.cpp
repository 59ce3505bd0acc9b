#include "OwnNetwork.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace printing::testing {

void EnterOwnNetwork() {
  if (unshare(CLONE_NEWNET) != 0)
    throw std::runtime_error(std::string("no network namespace of the tests' own: ") + std::strerror(errno));
  // What `ip link set lo up` does; the kernel gives it 127.0.0.1/8 and ::1.
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq lo{};
  std::strncpy(lo.ifr_name, "lo", sizeof lo.ifr_name - 1);
  bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &lo) == 0;
  lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP);
  up = up && ioctl(fd, SIOCSIFFLAGS, &lo) == 0;
  const std::string error = std::strerror(errno);
  if (fd >= 0) close(fd);
  if (!up) throw std::runtime_error("the loopback of the tests' network namespace stays down: " + error);
}

}  // namespace printing::testing
