#include "CupsPrinters.h"

#include <cups/cups.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "CupsStatus.h"
#include "Destinations.h"
#include "FoundPrinters.h"
#include "ImplicitClass.h"
#include "PrinterState.h"
#include "SnmpConf.h"
#include "Text.h"

namespace printing {
namespace {

// The device URI without any user:password before its host.
std::string WithoutCredentials(const std::string& uri) {
  const auto scheme_end = uri.find("://");
  if (scheme_end == std::string::npos) return uri;
  const auto host_start = scheme_end + 3;
  const auto authority_end = std::min(uri.find_first_of("/?#", host_start), uri.size());
  const auto at = uri.rfind('@', authority_end - 1);
  if (at == std::string::npos || at < host_start || authority_end == host_start) return uri;
  return uri.substr(0, host_start) + uri.substr(at + 1);
}

// Completes a record: its attribute and status words with what the device
// said of itself, and the scheduler's own word that the printer is offline
// (offline-report) working offline too.
void Complete(Record& r, std::int32_t attributes, std::int32_t status, const DeviceState& device) {
  AddDeviceState(device, attributes, status);
  if (status & PRINTER_STATUS_OFFLINE) attributes |= PRINTER_ATTRIBUTE_WORK_OFFLINE;
  r.Attributes = attributes;
  r.Status = status;
  r.Priority = 1;
  r.DefaultPriority = 1;
}

std::string Joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : separator) + part;
  return out;
}

}  // namespace

PrinterCollection CupsPrinters::Printers() {
  // Only a scheduler on this machine sees the network this machine sees.
  const bool browse = SchedulerIsLocal();
  if (browse) dnssd_.Start();
  listed_found_.clear();
  Learnt().print_system_answered = false;
  Scheduler http = ConnectScheduler(bounds_);
  if (!http) return PrinterCollection();
  const std::vector<FoundPrinter> found =
      browse ? FoundDestinations(dnssd_.Services()) : std::vector<FoundPrinter>{};
  // Which printers found the queues stand for takes their device URIs and
  // UUIDs, which more than double the scheduler's answer: they are asked for
  // again only when the queues' names have changed, or after a while.
  const bool identities_fresh = Clock::now() - identified_at_ < kQueueIdentityAge;
  std::optional<std::vector<SchedulerQueue>> queues = Queues(http.get(), !found.empty() && !identities_fresh);
  if (!queues) return PrinterCollection();
  if (!found.empty()) {
    const bool same_names =
        std::equal(queues->begin(), queues->end(), identified_.begin(), identified_.end(),
                   [](const SchedulerQueue& a, const SchedulerQueue& b) { return a.name == b.name; });
    if (identities_fresh && same_names) {
      queues = identified_;
    } else {
      if (identities_fresh) queues = Queues(http.get(), true);
      if (!queues) return PrinterCollection();
      identified_ = *queues;
      identified_at_ = Clock::now();
    }
  }
  Learnt().print_system_answered = true;
  std::vector<FoundPrinter> unqueued;
  for (const FoundPrinter& p : found)
    if (std::none_of(queues->begin(), queues->end(), [&](const SchedulerQueue& q) { return StandsFor(q, p); }))
      unqueued.push_back(p);
  std::vector<PrinterObject> items;
  for (const Destination& d : Listing(*queues, unqueued))
    items.push_back(PrinterObject{Utf8ToUtf16(FullName(d)), static_cast<std::int32_t>(items.size())});
  for (FoundPrinter& p : unqueued) {
    const std::string name = p.name;
    listed_found_.emplace(name, std::move(p));
  }
  return PrinterCollection(std::move(items));
}

std::int32_t CupsPrinters::Open(std::int32_t /*handle*/, const std::u16string& name) {
  const Destination wanted = SplitName(name);
  if (const auto listed = listed_found_.find(FullName(wanted)); listed != listed_found_.end()) {
    // Still on the network: as it is there now.
    for (FoundPrinter& p : FoundDestinations(dnssd_.Services()))
      if (p.name == listed->second.name) {
        listed->second = std::move(p);
        return ERROR_SUCCESS;
      }
    return ERROR_INVALID_PRINTER_NAME;
  }
  Scheduler http = ConnectScheduler(bounds_);
  if (!http) return RPC_S_SERVER_UNAVAILABLE;
  if (const QueueAnswer answer = QueueAttributes(http.get(), wanted.queue, {"printer-name"}); !answer.attributes)
    return answer.error;
  if (wanted.instance.empty()) return ERROR_SUCCESS;
  const std::vector<Destination> instances = ReadLpoptions().instances;
  const bool known = std::any_of(instances.begin(), instances.end(), [&](const Destination& d) {
    return CompareIgnoringCase(d.queue, wanted.queue) == 0 && d.instance == wanted.instance;
  });
  return known ? ERROR_SUCCESS : ERROR_INVALID_PRINTER_NAME;
}

DeviceState CupsPrinters::Check(const std::string& device_uri, bool describe) {
  return CheckDevice(device_uri, transport_, Deadline(kDeviceCheckTimeout), describe, snmp_);
}

DeviceState CupsPrinters::CheckBehind(const std::string& queue, const std::optional<std::string>& browsed_default) {
  const std::vector<FoundPrinter> behind = PrintersBehind(dnssd_.Services(), queue);
  if (behind.empty()) {
    if (const std::optional<std::string> uri = BrowsedDestination(browsed_default)) return Check(*uri);
    return DeviceState{};  // the scheduler's view stands
  }
  // All at once, each within the one bound: ready when one of them is.
  std::vector<std::function<DeviceState()>> asks;
  for (const FoundPrinter& p : behind) asks.push_back([this, uri = AskedUri(p)] { return Check(uri); });
  return AskAll(asks);
}

DeviceState CupsPrinters::CheckQueueDevice(const std::string& device_uri, ipp_t* attributes) {
  if (const std::optional<std::string> queue = ImplicitClassQueue(device_uri))
    return CheckBehind(*queue, Text(attributes, "cups-browsed-dest-printer-default"));
  return Check(device_uri);
}

DeviceState CupsPrinters::CheckMember(ipp_t* a) {
  DeviceState scheduler;
  scheduler.kind = DeviceState::Unreachable;
  if (a == nullptr) return scheduler;
  // The scheduler's word on the member first: stopped, rejecting or offline
  // is not ready, whatever its device says; a device not asked (a local one)
  // leaves that word standing.
  scheduler.kind = DeviceState::Reachable;
  scheduler.has_state = true;
  scheduler.stopped = PrinterState(a) == IPP_PSTATE_STOPPED;
  scheduler.accepting = IsAcceptingJobs(a);
  scheduler.status = StatusBits(a);
  if (!Ready(scheduler)) return scheduler;
  const std::optional<std::string> device = Text(a, "device-uri");
  const DeviceState checked = device ? CheckQueueDevice(*device, a) : DeviceState{};
  return checked.kind == DeviceState::NotChecked ? scheduler : checked;
}

DeviceState CupsPrinters::CheckMembers(http_t* http, const std::vector<std::string>& members) {
  if (members.empty()) return DeviceState{};  // the scheduler's view stands
  // The members' attributes on the class's own connection, one after
  // another; then their devices, all at once.
  std::vector<std::shared_ptr<ipp_t>> attributes;
  for (const std::string& member : members)
    attributes.emplace_back(QueueAttributes(http, member,
                                            {"device-uri", "printer-state", "printer-state-reasons",
                                             "printer-is-accepting-jobs", "cups-browsed-dest-printer-default"})
                                .attributes.release(),
                            ippDelete);
  std::vector<std::function<DeviceState()>> asks;
  for (const auto& a : attributes) asks.push_back([this, a] { return CheckMember(a.get()); });
  return AskAll(asks);
}

std::int32_t CupsPrinters::DescribeFound(const FoundPrinter& p, Record& record) {
  snmp_ = ReadSnmpConf();
  DeviceState checked = Check(AskedUri(p), /*describe=*/true);
  if (checked.kind == DeviceState::NotChecked) checked.kind = DeviceState::Unreachable;
  const auto either = [](const std::optional<std::string>& asked, const std::string& advertised) {
    return asked && !asked->empty() ? *asked : advertised;
  };
  Record r;
  r.PrinterName = p.name;
  r.PortName = p.Uri();
  r.DriverName = either(checked.make_and_model, p.make_and_model);
  r.Comment = either(checked.info, p.service);
  if (std::string location = either(checked.location, p.location); !location.empty()) r.Location = location;
  std::int32_t attributes = PRINTER_ATTRIBUTE_NETWORK;
  if (IsDefault(Destination{p.name, ""}, DefaultDestination(nullptr, ReadLpoptions())))
    attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  Complete(r, attributes, 0, checked);
  Learnt().device = checked;
  Learnt().supplies = checked.supplies;
  r.Jobs = checked.jobs;
  r.AveragePPM = checked.pages_per_minute;
  record = std::move(r);
  return ERROR_SUCCESS;
}

std::int32_t CupsPrinters::Describe(std::int32_t /*handle*/, const std::u16string& name, Record& record) {
  const Destination wanted = SplitName(name);
  if (const auto listed = listed_found_.find(FullName(wanted)); listed != listed_found_.end())
    return DescribeFound(listed->second, record);
  Scheduler http = ConnectScheduler(bounds_);
  if (!http) return RPC_S_SERVER_UNAVAILABLE;
  const QueueAnswer answer =
      QueueAttributes(http.get(), wanted.queue,
                      {"printer-name", "printer-info", "printer-location", "printer-make-and-model", "device-uri",
                       "printer-state", "printer-state-reasons", "printer-is-accepting-jobs", "printer-is-shared",
                       "printer-type", "queued-job-count", "pages-per-minute", "cups-browsed-dest-printer-default",
                       "member-names", "printer-state-message", "printer-uri-supported", "marker-names",
                       "marker-levels", "marker-low-levels", "marker-types", "printer-supply",
                       "printer-supply-description"});
  if (!answer.attributes) return answer.error;
  const bool is_default = IsDefault(wanted, DefaultDestination(http.get(), ReadLpoptions()));
  snmp_ = ReadSnmpConf();

  ipp_t* a = answer.attributes.get();
  // What waits in its queue, asked before the device, while the scheduler's
  // connection has time left.
  const std::int32_t queued = Integer(a, "queued-job-count");
  if (queued > 0) {
    if (const std::optional<std::string> uri = Text(a, "printer-uri-supported"))
      if (const std::optional<std::vector<Job>> jobs = QueueJobs(http.get(), *uri))
        Learnt().jobs = Summarize(*jobs, queued, static_cast<std::int64_t>(time(nullptr)));
  }
  const std::int32_t type = Integer(a, "printer-type");
  const bool remote = (type & CUPS_PRINTER_REMOTE) != 0;
  const bool shared = Boolean(a, "printer-is-shared", false);
  const std::optional<std::string> device = Text(a, "device-uri");

  Record r;
  r.PrinterName = Utf16ToUtf8(name);
  if (remote && device) r.ServerName = Host(*device);
  if (shared) r.ShareName = wanted.queue;
  if (device) r.PortName = WithoutCredentials(*device);
  r.DriverName = Text(a, "printer-make-and-model");
  r.Comment = Text(a, "printer-info");
  r.Location = Text(a, "printer-location");

  std::int32_t attributes = remote ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL;
  if (is_default) attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  if (shared) attributes |= PRINTER_ATTRIBUTE_SHARED;
  if (type & CUPS_PRINTER_FAX) attributes |= PRINTER_ATTRIBUTE_FAX;
  if (PrinterState(a) == IPP_PSTATE_STOPPED || !IsAcceptingJobs(a)) attributes |= PRINTER_ATTRIBUTE_WORK_OFFLINE;
  // The scheduler keeps a queue idle until a job fails on it: ask the device
  // itself when the scheduler runs here and so sees the same network.
  // A class of this scheduler is as ready as the best of its members, and
  // names them as its ports, as a printer pool of the Windows spooler does.
  const bool local_class = (type & CUPS_PRINTER_CLASS) != 0 && !remote;
  const std::vector<std::string> members = local_class ? Texts(a, "member-names") : std::vector<std::string>{};
  if (local_class) r.PortName = Joined(members, ",");
  DeviceState checked;
  if (SchedulerIsLocal() && local_class)
    checked = CheckMembers(http.get(), members);
  else if (SchedulerIsLocal() && device)
    checked = CheckQueueDevice(*device, a);
  Complete(r, attributes, StatusBits(a), checked);
  Findings& learnt = Learnt();
  learnt.system_status = StatusBits(a);
  learnt.rejecting = !IsAcceptingJobs(a);
  learnt.group = local_class ? Findings::Class : Findings::Single;
  learnt.device = checked;
  learnt.message = Text(a, "printer-state-message").value_or("");
  learnt.supplies = !checked.supplies.empty() ? checked.supplies : Supplies(a);
  r.Jobs = queued;
  r.AveragePPM = Integer(a, "pages-per-minute");
  record = std::move(r);
  return ERROR_SUCCESS;
}

}  // namespace printing
