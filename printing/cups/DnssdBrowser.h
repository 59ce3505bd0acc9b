// The IPP printers that DNS-SD finds on the network, as CUPS offers them
// without a queue (lpstat -e lists them; the desktop's print dialogs offer
// them): _ipp._tcp and _ipps._tcp services, browsed through avahi-daemon.
//
// The browser lives as long as its owner and keeps the set of found printers
// current; only the first look after it starts waits, until avahi has said
// what it knows and the services are resolved, and for a second at most.
// Without a system bus or an avahi-daemon nothing is found, and nothing waits.
#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Bounded.h"

namespace printing {

// One service found, resolved to its host, port and TXT record.
struct FoundPrinter {
  std::string name;     // the destination's name, as libcups makes it of the service name
  std::string service;  // the service name, "Desk Printer"
  std::string type;     // "_ipps._tcp" or "_ipp._tcp"
  std::string domain;   // "local"
  std::string host;     // where the service is, "desk.local"
  bool on_loopback = false;  // found on the loopback interface: on this machine
  int port = 0;
  // From the TXT record.
  std::string resource;  // "/" and its rp, the printer's path on the host
  std::string uuid;
  std::string make_and_model;  // ty
  std::string location;        // note
  std::string pdl;
  bool cups_type = false;  // it gives a printer-type, as a CUPS queue does
  bool Secure() const { return type == "_ipps._tcp"; }
  // The URI that libcups gives the destination: "ipps://Desk%20Printer._ipps._tcp.local/".
  std::string Uri() const;
};

// The destination's name for a service name, as libcups makes it: ASCII
// letters and digits kept, every run of other bytes one "_".
std::string DestinationName(std::string_view service);

// Whether libcups takes a service with this TXT "pdl" as a destination: no
// list, or one that names PDF, PWG raster or Apple raster.
bool TakesDocuments(std::string_view pdl);

class DnssdBrowser {
 public:
  // Longest wait of the first look for what avahi knows.
  static constexpr std::chrono::milliseconds kFirstWait{1000};

  DnssdBrowser();
  // Stops browsing; waits for a start still under way (a system bus that
  // does not answer holds it until D-Bus gives up).
  ~DnssdBrowser();
  DnssdBrowser(const DnssdBrowser&) = delete;
  DnssdBrowser& operator=(const DnssdBrowser&) = delete;

  // Starts browsing, unless it runs; returns at once.
  void Start();
  // Every service found and resolved, as the set stands; the first call
  // after a start waits as above. Starts browsing when it does not run.
  std::vector<FoundPrinter> Services();

  // The addresses of a .local host name, looked up by avahi by the deadline;
  // none when it is not found in time or nothing browses.
  std::vector<std::string> Addresses(const std::string& host, const Deadline& deadline);

 private:
  struct Shared;
  void Stop();
  std::shared_ptr<Shared> shared_;
};

}  // namespace printing
