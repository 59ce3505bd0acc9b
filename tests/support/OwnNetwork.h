// A network namespace of the test program's own (Linux, as root): only its
// loopback, up, which no other program shares. The tests' peers take the
// well-known ports there (SMB's 445 and 139, SNMP's 161, BJNP's 8611) whatever
// the machine runs on them, and nothing a test does reaches the machine's
// network. The namespace ends with the program.
//
// A unix socket is reached from inside as from outside: the private
// scheduler's, and the D-Bus system bus that a test's own avahi is asked on.
#pragma once

namespace printing::testing {

// Moves the calling thread, and all it starts from then on (threads and
// programs), into a new network namespace whose loopback is up. Call it
// before the first thread and the first peer. Throws std::runtime_error when
// the namespace cannot be made (the program does not run as root).
void EnterOwnNetwork();

}  // namespace printing::testing
