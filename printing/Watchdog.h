// A deadline kept by a thread of its own, for waits inside libcups that no
// timeout of its own bounds.
#pragma once
#include <cups/http.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace printing {

// Acts at the deadline unless dismissed first, so that no peer, not even one
// that answers a byte at a time, holds the check beyond it.
class Watchdog {
 public:
  Watchdog(std::chrono::steady_clock::time_point deadline, std::function<void()> at_deadline)
      : thread_([this, deadline, act = std::move(at_deadline)] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!cv_.wait_until(lock, deadline, [this] { return done_; })) act();
        }) {}
  // Shuts the connection down at the deadline.
  Watchdog(std::chrono::steady_clock::time_point deadline, http_t* http)
      : Watchdog(deadline, [fd = httpGetFd(http)] { shutdown(fd, SHUT_RDWR); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_one();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace printing
