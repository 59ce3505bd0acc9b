// Every wait of the printer layer ends by a deadline, in one of two ways:
//
// - a wait that can be interrupted (a socket, shut down at the deadline)
//   stands under an Alarm, which acts at the deadline unless it is gone first;
// - a call that nothing interrupts (a Windows spooler call, a name lookup, a
//   DNS-SD resolution inside libcups) runs under Bounds::Run on a thread of
//   its own, and the caller stops waiting for it at the deadline. An
//   abandoned call runs on to its end holding only what it was given (its
//   own copies and a state shared with the caller, never the caller's
//   objects), then hands its result to `late`, which undoes it (closes a
//   handle). Its thread is joined by the Bounds that started it: once it has
//   ended, at the Bounds' next call, and at the latest when the Bounds (the
//   backend that owns it) goes away, which waits for it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace printing {

using Clock = std::chrono::steady_clock;

// The time by which a wait must end.
class Deadline {
 public:
  explicit Deadline(std::chrono::milliseconds budget) : at_(Clock::now() + budget) {}
  Clock::time_point At() const { return at_; }
  bool Passed() const { return Clock::now() >= at_; }
  // What is left of it, 0 once it has passed.
  std::chrono::milliseconds Left() const;
  int LeftMilliseconds() const { return static_cast<int>(Left().count()); }

 private:
  Clock::time_point at_;
};

// Runs `act` at the deadline, on a thread of its own, unless destroyed first.
class Alarm {
 public:
  Alarm(const Deadline& deadline, std::function<void()> act);
  // Returns once `act` can no longer run: at once before the deadline, or
  // when `act` has returned.
  ~Alarm();
  Alarm(const Alarm&) = delete;
  Alarm& operator=(const Alarm&) = delete;

  // Whether `act` has run.
  bool Rang() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool dismissed_ = false;
  bool rang_ = false;
  std::thread thread_;  // last: it starts once the rest is ready
};

class Bounds {
 public:
  Bounds() = default;
  // Waits for the calls it abandoned to end.
  ~Bounds();
  Bounds(const Bounds&) = delete;
  Bounds& operator=(const Bounds&) = delete;

  // The result of `call()`, or nothing when it has not returned by the
  // deadline. Then `cancel()`, when given, asks the call to stop (it runs on
  // the caller's thread; the call may not heed it), and once the call
  // returns, `late(result)` undoes what it got. An exception of a call that
  // returns in time passes to the caller; one of an abandoned call is dropped.
  template <class Result, class Call, class Late>
  std::optional<Result> Run(const Deadline& deadline, Call call, Late late,
                            std::function<void()> cancel = nullptr);

  // Threads started and not yet joined: the calls running, abandoned or not.
  std::size_t Threads();

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<bool> ended;  // under mutex_
  };
  // Runs `task` on a new thread, joining first those that have ended.
  void Start(std::function<void()> task);
  void JoinEnded(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::list<Worker> workers_;
};

template <class Result, class Call, class Late>
std::optional<Result> Bounds::Run(const Deadline& deadline, Call call, Late late, std::function<void()> cancel) {
  struct State {
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    bool abandoned = false;
    std::optional<Result> result;
    std::exception_ptr error;
  };
  auto state = std::make_shared<State>();
  Start([state, call = std::move(call), late = std::move(late)]() mutable {
    std::optional<Result> result;
    std::exception_ptr error;
    try {
      result.emplace(call());
    } catch (...) {
      error = std::current_exception();
    }
    std::unique_lock lock(state->mutex);
    if (state->abandoned) {
      lock.unlock();
      if (result) late(*result);
      return;
    }
    state->result = std::move(result);
    state->error = error;
    state->done = true;
    state->returned.notify_all();
  });
  std::unique_lock lock(state->mutex);
  if (!state->returned.wait_until(lock, deadline.At(), [&] { return state->done; })) {
    state->abandoned = true;
    lock.unlock();
    if (cancel) cancel();
    return std::nullopt;
  }
  if (state->error) std::rethrow_exception(state->error);
  return std::move(state->result);
}

}  // namespace printing
