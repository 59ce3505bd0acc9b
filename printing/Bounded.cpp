#include "Bounded.h"

namespace printing {

std::chrono::milliseconds Deadline::Left() const {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at_ - Clock::now());
  return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

Alarm::Alarm(const Deadline& deadline, std::function<void()> act)
    : thread_([this, at = deadline.At(), act = std::move(act)] {
        std::unique_lock lock(mutex_);
        if (cv_.wait_until(lock, at, [this] { return dismissed_; })) return;
        // Under the lock: the destructor waits for it.
        act();
        rang_ = true;
      }) {}

Alarm::~Alarm() {
  {
    std::lock_guard lock(mutex_);
    dismissed_ = true;
  }
  cv_.notify_one();
  thread_.join();
}

bool Alarm::Rang() const {
  std::lock_guard lock(mutex_);
  return rang_;
}

Bounds::~Bounds() {
  std::list<Worker> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (Worker& w : workers) w.thread.join();
}

std::size_t Bounds::Threads() {
  std::unique_lock lock(mutex_);
  JoinEnded(lock);
  return workers_.size();
}

void Bounds::JoinEnded(std::unique_lock<std::mutex>& lock) {
  std::list<Worker> ended;
  for (auto it = workers_.begin(); it != workers_.end();) {
    const auto next = std::next(it);
    if (*it->ended) ended.splice(ended.end(), workers_, it);
    it = next;
  }
  // An ended worker has only its return left to run.
  lock.unlock();
  for (Worker& w : ended) w.thread.join();
  lock.lock();
}

void Bounds::Start(std::function<void()> task) {
  std::unique_lock lock(mutex_);
  JoinEnded(lock);
  auto ended = std::make_shared<bool>(false);
  // The worker marks itself ended under the same lock the list is read under.
  std::thread thread([this, ended, task = std::move(task)] {
    task();
    std::lock_guard done(mutex_);
    *ended = true;
  });
  workers_.push_back(Worker{std::move(thread), std::move(ended)});
}

}  // namespace printing
