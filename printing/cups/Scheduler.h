// The requests of the CUPS backend to the scheduler that the environment
// names (CUPS_SERVER, client.conf): the connection, its queues, one queue's
// attributes. Every wait on it is bounded.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Bounded.h"
#include "CupsOwners.h"
#include "Jobs.h"
#include "SpoolerCodes.h"

namespace printing {

// Longest wait for the scheduler to accept a connection, and for all the
// answers on it.
inline constexpr std::chrono::milliseconds kSchedulerConnectTimeout{1500};
inline constexpr std::chrono::milliseconds kSchedulerAnswerTimeout{1500};

// A connection to the scheduler, null when none can be made in time (its
// name looked up and the connection made within the connect timeout). Every
// answer on it must come within the answer timeout: at that deadline the
// connection is shut down, however far the answer has got. (libcups' own
// read timeout doubles the time it takes to read a long answer.)
struct Scheduler {
  Connection http;
  std::unique_ptr<Alarm> alarm;
  explicit operator bool() const { return http != nullptr; }
  http_t* get() const { return http.get(); }
};

Scheduler ConnectScheduler(Bounds& bounds);

// Whether the scheduler is on this machine: a unix socket or a loopback name.
bool SchedulerIsLocal();

// A queue of the scheduler (a printer or a class), with what tells which
// printer found on the network it stands for.
struct SchedulerQueue {
  std::string name;
  std::string device_uri;
  std::string uuid;
};

// The scheduler's queues, with their device URIs and UUIDs when asked; nothing
// when it does not answer in time.
std::optional<std::vector<SchedulerQueue>> Queues(http_t* http, bool identities);

// Get-Printer-Attributes for `queue` (a printer or a class): its attributes,
// or the error that stands for why there are none.
struct QueueAnswer {
  Response attributes;
  std::int32_t error = ERROR_SUCCESS;
};
QueueAnswer QueueAttributes(http_t* http, const std::string& queue, const std::vector<const char*>& wanted);

// The jobs not done yet of the queue at `printer_uri` (its
// printer-uri-supported), the first kJobsRead of them; nothing when the
// scheduler does not answer.
std::optional<std::vector<Job>> QueueJobs(http_t* http, const std::string& printer_uri);

// The first value of the attribute `name` as text, or nothing.
std::optional<std::string> Text(ipp_t* response, const char* name);

// Every value of the attribute `name` as text.
std::vector<std::string> Texts(ipp_t* response, const char* name);

// The host part of a URI, percent-decoded with `coding`, or nothing.
std::optional<std::string> Host(const std::string& uri, http_uri_coding_t coding = HTTP_URI_CODING_NONE);

}  // namespace printing
