// Brings up the fixtures of the network-queue tests, as a test program does,
// and holds them until it is killed: a private scheduler with a queue, and a
// loopback IPP printer with its avahi-daemon and D-Bus daemon.
//   fixture_holder
// Writes "folder DIR" once the scheduler's folder is there and "ready" once
// everything answers.
#include <cstdio>
#include <exception>
#include <string>

#include "LoopbackPeer.h"
#include "PrivateScheduler.h"

#ifndef KAVRO_IPP_DEVICE
#error "KAVRO_IPP_DEVICE must name scripts/ipp-device.sh"
#endif

int main() {
  try {
    cupstest::PrivateScheduler scheduler;
    std::printf("folder %s\n", scheduler.Dir().c_str());
    std::fflush(stdout);
    scheduler.Start();
    scheduler.Run("lpadmin -p Office -E -v file:///dev/null");
    scheduler.Run(std::string("'") + KAVRO_IPP_DEVICE + "' start '" + scheduler.Dir() + "/device' " +
                  std::to_string(printing::testing::ClosedLoopbackPort()));
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fixture_holder: %s\n", e.what());
    return 1;
  }
}
