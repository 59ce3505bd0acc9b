// The printers found on the network as the CUPS backend lists and asks them:
// which the scheduler's queues stand for, which libcups offers as
// destinations, and where each is asked.
#pragma once
#include <string>
#include <vector>

#include "DnssdBrowser.h"
#include "Scheduler.h"

namespace printing {

// Whether `queue` stands for the printer found on the network, so that it is
// listed once, as the queue: the same name (cups-browsed names its queues
// so), the same DNS-SD service as its device, or the same UUID.
bool StandsFor(const SchedulerQueue& queue, const FoundPrinter& printer);

// Whether `a` is the better service of one destination: ipps over ipp, the
// local domain over others, as libcups chooses.
bool Better(const FoundPrinter& a, const FoundPrinter& b);

// The printers found that libcups offers as destinations: one for each
// destination name, of the services that take documents.
std::vector<FoundPrinter> FoundDestinations(const std::vector<FoundPrinter>& services);

// The URI a found printer is asked at: "ipps://desk.local:631/ipp/print".
std::string AskedUri(const FoundPrinter& printer);

}  // namespace printing
