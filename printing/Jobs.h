// The jobs that wait in a printer's queue, as the reason tells them: how
// many, how many are held or stopped with an error, and how long the oldest
// has waited. Each backend reads its print system's jobs into Job; what they
// add up to is worked out here, the same on every platform.
#pragma once
#include <cstdint>
#include <vector>

namespace printing {

// One job of the queue that is not done yet.
struct Job {
  enum State { Waiting, Held, Printing, Failed } state = Waiting;  // Failed: stopped with an error
  std::int64_t submitted = 0;  // seconds since 1970 (UTC); 0 when not known
};

struct QueuedJobs {
  std::int32_t count = 0;   // jobs not done yet, also those not read one by one
  std::int32_t held = 0;    // of those read, held (on hold, paused)
  std::int32_t failed = 0;  // stopped with an error
  std::int64_t oldest_age = -1;  // seconds the oldest has waited; -1 when not known
  bool operator==(const QueuedJobs&) const = default;
};

// Most jobs read one by one: the oldest are enough to tell a stuck queue.
inline constexpr std::int32_t kJobsRead = 20;

// What `jobs` (the first of the queue's `count` jobs) add up to at `now`
// (seconds since 1970, UTC). A count below the jobs read is taken as theirs.
QueuedJobs Summarize(const std::vector<Job>& jobs, std::int32_t count, std::int64_t now);

}  // namespace printing
