// The destinations as libcups names and orders them: a queue, an instance of
// a queue from the lpoptions files ("queue/instance"), or a printer found on
// the network; and the user's default destination.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include <cups/cups.h>

#include "DnssdBrowser.h"
#include "Scheduler.h"

namespace printing {

struct Destination {
  std::string queue;     // or the name of a printer found on the network
  std::string instance;  // empty for the queue itself
};

// "queue" or "queue/instance".
std::string FullName(const Destination& d);
// The destination that a device name (UTF-16) names.
Destination SplitName(const std::u16string& name);

// Compares as libcups orders destinations: A to Z folded to lower case, every
// other byte as a signed char, so that names beyond ASCII come first.
int CompareIgnoringCase(const std::string& a, const std::string& b);

// What the system's and the user's lpoptions files say, as libcups reads
// them: the instances ("Dest queue/instance" and "Default queue/instance"
// lines) and the default destination, the user's over the system's.
struct Lpoptions {
  std::vector<Destination> instances;
  std::optional<Destination> default_destination;
};
Lpoptions ReadLpoptions();

// The user's default destination, as libcups takes it: LPDEST, PRINTER
// (other than "lp"), the lpoptions files, else the scheduler's default
// (none without a connection).
Destination DefaultDestination(http_t* http, const Lpoptions& options);
bool IsDefault(const Destination& d, const Destination& default_destination);

// The destinations in the order lpstat -e lists them: every queue, the
// instances of the lpoptions files whose queue exists, and the printers
// found on the network that no queue stands for, sorted as libcups sorts.
std::vector<Destination> Listing(const std::vector<SchedulerQueue>& queues, const std::vector<FoundPrinter>& found);

}  // namespace printing
