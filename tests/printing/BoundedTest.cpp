// The one way the printer layer bounds a wait: an Alarm for what can be
// interrupted, Bounds::Run for what cannot. Limits here only catch a hang;
// how long the bounds take is measured by bench/bounds.sh.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

#include "Bounded.h"

using printing::Alarm;
using printing::Bounds;
using printing::Deadline;
using namespace std::chrono_literals;

namespace {

// Far longer than any wait below should take.
constexpr auto kHang = 60s;

// A call that returns only once released.
struct Gate {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
};

TEST(Bounds, ACallThatReturnsInTimeGivesItsResultOrItsException) {
  Bounds bounds;
  bool undone = false;
  const auto result = bounds.Run<std::string>(
      Deadline(kHang), [] { return std::string("answer"); }, [&](std::string&) { undone = true; });
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, "answer");

  EXPECT_THROW(bounds.Run<int>(
                   Deadline(kHang), []() -> int { throw std::runtime_error("refused"); },
                   [&](int&) { undone = true; }),
               std::runtime_error);
  EXPECT_FALSE(undone);
}

// The call is started from a frame that is gone before it returns: it may
// hold only its own copies and the state it shares (AddressSanitizer would
// see anything else).
std::optional<int> AskAndLeave(Bounds& bounds, std::shared_future<void> released, std::promise<int>& undone,
                               bool& cancelled) {
  int answer = 7;
  return bounds.Run<int>(
      Deadline(50ms),
      [released, answer] {
        released.wait();
        return answer;
      },
      [&undone](int& late) { undone.set_value(late); }, [&cancelled] { cancelled = true; });
}

TEST(Bounds, ACallPastItsDeadlineIsCancelledAbandonedAndUndoneWhenItEnds) {
  Bounds bounds;
  Gate gate;
  std::promise<int> undone;
  auto undone_with = undone.get_future();
  bool cancelled = false;
  // Were the caller to wait for the call, this test would never end.
  EXPECT_FALSE(AskAndLeave(bounds, gate.released, undone, cancelled).has_value());
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(bounds.Threads(), 1u);

  gate.release.set_value();
  ASSERT_EQ(undone_with.wait_for(kHang), std::future_status::ready);
  EXPECT_EQ(undone_with.get(), 7);
  // Its thread is joined by the next look.
  const auto give_up = std::chrono::steady_clock::now() + kHang;
  while (bounds.Threads() != 0 && std::chrono::steady_clock::now() < give_up) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(bounds.Threads(), 0u);
}

TEST(Bounds, GoingAwayWaitsForTheCallsItAbandoned) {
  std::atomic<int> undone{0};
  Gate gate;
  std::thread releaser;
  {
    Bounds bounds;
    for (int i = 0; i < 3; ++i) {
      const auto result = bounds.Run<int>(
          Deadline(0ms),
          [released = gate.released, i] {
            released.wait();
            return i;
          },
          [&undone](int&) { ++undone; });
      EXPECT_FALSE(result.has_value());
    }
    EXPECT_EQ(bounds.Threads(), 3u);
    releaser = std::thread([&gate] {
      std::this_thread::sleep_for(100ms);
      gate.release.set_value();
    });
  }
  EXPECT_EQ(undone, 3);
  releaser.join();
}

TEST(Alarm, ActsAtItsDeadlineUnlessGoneFirst) {
  std::promise<void> acted;
  auto acted_future = acted.get_future();
  {
    Alarm alarm(Deadline(10ms), [&acted] { acted.set_value(); });
    ASSERT_EQ(acted_future.wait_for(kHang), std::future_status::ready);
    EXPECT_TRUE(alarm.Rang());
  }

  bool late = false;
  { Alarm alarm(Deadline(kHang), [&late] { late = true; }); }
  EXPECT_FALSE(late);

  EXPECT_EQ(Deadline(-5s).Left(), 0ms);
  EXPECT_TRUE(Deadline(0ms).Passed());
}

TEST(Alarm, GoingAwayWaitsForAnActUnderWay) {
  std::promise<void> started;
  auto started_future = started.get_future();
  std::atomic<bool> finished{false};
  {
    Alarm alarm(Deadline(0ms), [&] {
      started.set_value();
      std::this_thread::sleep_for(100ms);
      finished = true;
    });
    ASSERT_EQ(started_future.wait_for(kHang), std::future_status::ready);
  }
  // What the act touches may be gone once the alarm is.
  EXPECT_TRUE(finished);
}

}  // namespace
