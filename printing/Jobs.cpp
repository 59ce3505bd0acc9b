#include "Jobs.h"

#include <algorithm>

namespace printing {

QueuedJobs Summarize(const std::vector<Job>& jobs, std::int32_t count, std::int64_t now) {
  QueuedJobs out;
  out.count = std::max<std::int32_t>(count, static_cast<std::int32_t>(jobs.size()));
  for (const Job& job : jobs) {
    if (job.state == Job::Held) ++out.held;
    if (job.state == Job::Failed) ++out.failed;
    // A job from the future (a clock set wrong) has waited no time.
    if (job.submitted > 0) out.oldest_age = std::max(out.oldest_age, std::max<std::int64_t>(0, now - job.submitted));
  }
  return out;
}

}  // namespace printing
