// A call that may block for long (a spooler waiting on a print server that is
// gone) run so that its caller waits a bounded time: on a thread of its own,
// abandoned at the deadline. An abandoned call runs on to its end, and then
// hands its result to `late`, which undoes what it got (closes a handle).
#pragma once
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace printing {

// The result of `call()`, or nothing when it has not returned within `limit`.
template <class Result, class Call, class Late>
std::optional<Result> RunBounded(std::chrono::milliseconds limit, Call call, Late late) {
  struct State {
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    bool abandoned = false;
    std::optional<Result> result;
  };
  auto state = std::make_shared<State>();
  std::thread([state, call = std::move(call), late = std::move(late)]() mutable {
    Result result = call();
    std::unique_lock lock(state->mutex);
    if (state->abandoned) {
      lock.unlock();
      late(result);
      return;
    }
    state->result = std::move(result);
    state->done = true;
    state->returned.notify_all();
  }).detach();
  std::unique_lock lock(state->mutex);
  if (!state->returned.wait_for(lock, limit, [&] { return state->done; })) {
    state->abandoned = true;
    return std::nullopt;
  }
  return std::move(state->result);
}

}  // namespace printing
