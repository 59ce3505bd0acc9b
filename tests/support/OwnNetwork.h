// A network namespace of the test program's own (Linux, as root): only its
// loopback, up, which no other program shares. The tests' peers take the
// well-known ports there (SMB's 445 and 139, SNMP's 161, BJNP's 8611) whatever
// the machine runs on them, and nothing a test does reaches the machine's
// network. The namespace ends with the program.
//
// A unix socket is reached from inside as from outside: the private
// scheduler's, and the D-Bus system bus that a test's own avahi is asked on.
#pragma once
#include <gtest/gtest.h>

#include <stdexcept>

namespace printing::testing {

// Moves the calling thread, and all it starts from then on (threads and
// programs), into a new network namespace whose loopback is up. Call it
// before the first thread and the first peer. Throws std::runtime_error when
// the namespace cannot be made (the program does not run as root).
void EnterOwnNetwork();

// A test program's own network, entered before its first test (and so before
// any thread of its tests, or peer):
//   ::testing::AddGlobalTestEnvironment(new printing::testing::OwnNetworkFirst);
class OwnNetworkFirst : public ::testing::Environment {
 public:
  void SetUp() override {
    try {
      EnterOwnNetwork();
    } catch (const std::runtime_error& e) {
      FAIL() << e.what();
    }
  }
};

}  // namespace printing::testing
