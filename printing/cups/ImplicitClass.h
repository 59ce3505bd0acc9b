// The queues that cups-browsed makes for printers it finds on the network
// (device URI implicitclass://QUEUE/): which found printers stand behind one.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "DnssdBrowser.h"

namespace printing {

// The queue that an implicitclass:// device URI names, percent-decoded.
std::optional<std::string> ImplicitClassQueue(const std::string& device_uri);

// The printer URI that cups-browsed chose for the queue's last job, from its
// cups-browsed-dest-printer-default ("\"JOB URI FORMAT RESOLUTION\""); none
// when it found no destination then.
std::optional<std::string> BrowsedDestination(const std::optional<std::string>& value);

// The services found that stand behind the cups-browsed queue `queue`, each
// once (one offered both as ipp and ipps, as the better of the two):
// cups-browsed names its queues after the service, as libcups does, or after
// the queue it stands for on a CUPS server; where that name is taken, it
// adds "@HOST" (the host avahi gave, "localhost" for this machine).
std::vector<FoundPrinter> PrintersBehind(const std::vector<FoundPrinter>& services, const std::string& queue);

}  // namespace printing
