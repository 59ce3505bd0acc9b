#include "Scheduler.h"

#include <sys/socket.h>

#include <string_view>

#include "CupsStatus.h"
#include "DeviceTransport.h"
#include "SpoolerCodes.h"

namespace printing {

Scheduler ConnectScheduler(Bounds& bounds) {
  const Deadline connecting(kSchedulerConnectTimeout);
  const std::string server = cupsServer();
  const int port = ippPort();
  AddressList addresses;
  if (server.empty() || server[0] != '/') {
    // Numbers only, which libcups takes without a lookup of its own; it
    // tries them all, as it does the addresses it looks up itself.
    std::string host = server;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    http_addrlist_t* tail = nullptr;
    for (const std::string& address : Resolve(host, port, connecting, bounds, HostAddresses)) {
      http_addrlist_t* more = httpAddrGetList(address.c_str(), AF_UNSPEC, std::to_string(port).c_str());
      if (more == nullptr) continue;
      if (tail == nullptr)
        addresses.reset(more);
      else
        tail->next = more;
      for (tail = more; tail->next != nullptr; tail = tail->next) {
      }
    }
    if (!addresses) return {};
  }
  Scheduler s;
  s.http.reset(httpConnect2(server.c_str(), port, addresses.get(), AF_UNSPEC, cupsEncryption(), 1,
                            connecting.LeftMilliseconds(), nullptr));
  cupsSetPasswordCB2(NoPassword, nullptr);
  if (s.http)
    s.alarm = std::make_unique<Alarm>(Deadline(kSchedulerAnswerTimeout),
                                      [fd = httpGetFd(s.http.get())] { shutdown(fd, SHUT_RDWR); });
  return s;
}

bool SchedulerIsLocal() {
  const std::string server = cupsServer();
  return !server.empty() && (server[0] == '/' || server == "localhost" || server.rfind("127.", 0) == 0 ||
                             server == "::1" || server == "[::1]");
}

namespace {

std::string String(ipp_attribute_t* a) {
  const char* value = ippGetString(a, 0, nullptr);
  return value != nullptr ? value : "";
}

}  // namespace

std::optional<std::vector<SchedulerQueue>> Queues(http_t* http, bool identities) {
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  static const char* const wanted[] = {"printer-name", "device-uri", "printer-uuid"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", identities ? 3 : 1, nullptr,
                wanted);
  const Response response(cupsDoRequest(http, request, "/"));
  const ipp_status_t status = cupsLastError();
  std::vector<SchedulerQueue> queues;
  // No queue at all is an answer too.
  if (status == IPP_STATUS_ERROR_NOT_FOUND) return queues;
  if (!response || status > IPP_STATUS_OK_CONFLICTING) return std::nullopt;
  // One queue after another, each its own group of printer attributes.
  SchedulerQueue queue;
  const auto flush = [&] {
    if (!queue.name.empty()) queues.push_back(std::move(queue));
    queue = SchedulerQueue{};
  };
  for (ipp_attribute_t* a = ippFirstAttribute(response.get()); a != nullptr; a = ippNextAttribute(response.get())) {
    if (ippGetGroupTag(a) != IPP_TAG_PRINTER || ippGetName(a) == nullptr) {
      flush();
      continue;
    }
    const std::string_view name = ippGetName(a);
    if (name == "printer-name") queue.name = String(a);
    else if (name == "device-uri") queue.device_uri = String(a);
    else if (name == "printer-uuid") queue.uuid = String(a);
  }
  flush();
  return queues;
}

QueueAnswer QueueAttributes(http_t* http, const std::string& queue, const std::vector<const char*>& wanted) {
  if (queue.empty() || queue.find_first_of("#?\t\n\r ") != std::string::npos)
    return {nullptr, ERROR_INVALID_PRINTER_NAME};
  for (const char* resource : {"/printers/", "/classes/"}) {
    char uri[HTTP_MAX_URI];
    if (httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                         "%s%s", resource, queue.c_str()) < HTTP_URI_STATUS_OK)
      return {nullptr, ERROR_INVALID_PRINTER_NAME};
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(wanted.size()), nullptr, wanted.data());
    Response response(cupsDoRequest(http, request, "/"));
    const ipp_status_t status = cupsLastError();
    if (response && status <= IPP_STATUS_OK_CONFLICTING) return {std::move(response), ERROR_SUCCESS};
    if (status != IPP_STATUS_ERROR_NOT_FOUND)
      return {nullptr, response ? ERROR_ACCESS_DENIED : RPC_S_SERVER_UNAVAILABLE};
  }
  return {nullptr, ERROR_INVALID_PRINTER_NAME};
}

std::optional<std::vector<Job>> QueueJobs(http_t* http, const std::string& printer_uri) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printer_uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_CONST_TAG(IPP_TAG_KEYWORD), "which-jobs", nullptr, "not-completed");
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "limit", kJobsRead);
  static const char* const wanted[] = {"job-id", "job-state", "job-state-reasons", "time-at-creation"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr, wanted);
  const Response response(cupsDoRequest(http, request, "/"));
  const ipp_status_t status = cupsLastError();
  std::vector<Job> jobs;
  if (status == IPP_STATUS_ERROR_NOT_FOUND) return jobs;  // none
  if (!response || status > IPP_STATUS_OK_CONFLICTING) return std::nullopt;
  // One job after another, each its own group of job attributes.
  std::optional<Job> job;
  const auto flush = [&] {
    if (job && jobs.size() < static_cast<std::size_t>(kJobsRead)) jobs.push_back(*job);
    job.reset();
  };
  for (ipp_attribute_t* a = ippFirstAttribute(response.get()); a != nullptr; a = ippNextAttribute(response.get())) {
    if (ippGetGroupTag(a) != IPP_TAG_JOB || ippGetName(a) == nullptr) {
      flush();
      continue;
    }
    if (!job) job = Job{};
    const std::string_view name = ippGetName(a);
    if (name == "job-state") {
      switch (ippGetInteger(a, 0)) {
        case IPP_JSTATE_HELD: job->state = Job::Held; break;
        case IPP_JSTATE_PROCESSING: job->state = job->state == Job::Failed ? Job::Failed : Job::Printing; break;
        case IPP_JSTATE_STOPPED: job->state = Job::Failed; break;
        default: break;
      }
    } else if (name == "job-state-reasons") {
      // A job that a printer's error stopped says so in its reasons.
      for (int i = 0; i < ippGetCount(a); ++i) {
        const std::string_view reason = ippGetString(a, i, nullptr) ? ippGetString(a, i, nullptr) : "";
        if (reason.ends_with("-error") && job->state != Job::Held) job->state = Job::Failed;
      }
    } else if (name == "time-at-creation") {
      job->submitted = ippGetInteger(a, 0);
    }
  }
  flush();
  return jobs;
}

std::optional<std::string> Text(ipp_t* response, const char* name) {
  ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
  if (attr == nullptr || ippGetCount(attr) < 1) return std::nullopt;
  const char* value = ippGetString(attr, 0, nullptr);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::vector<std::string> Texts(ipp_t* response, const char* name) {
  std::vector<std::string> values;
  ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
  for (int i = 0; attr != nullptr && i < ippGetCount(attr); ++i)
    if (const char* value = ippGetString(attr, i, nullptr)) values.emplace_back(value);
  return values;
}

std::optional<std::string> Host(const std::string& uri, http_uri_coding_t coding) {
  char scheme[HTTP_MAX_URI], user[HTTP_MAX_URI], host[HTTP_MAX_URI], resource[HTTP_MAX_URI];
  int port = 0;
  if (httpSeparateURI(coding, uri.c_str(), scheme, sizeof scheme, user, sizeof user, host, sizeof host, &port,
                      resource, sizeof resource) < HTTP_URI_STATUS_OK ||
      host[0] == '\0')
    return std::nullopt;
  return std::string(host);
}

}  // namespace printing
