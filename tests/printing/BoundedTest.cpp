#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "Bounded.h"

using printing::RunBounded;
using namespace std::chrono_literals;

TEST(RunBounded, AQuickCallGivesItsResultAndNeedsNoUndoing) {
  bool undone = false;
  const auto result = RunBounded<int>(5s, [] { return 42; }, [&](int&) { undone = true; });
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, 42);
  EXPECT_FALSE(undone);
}

TEST(RunBounded, ACallThatBlocksIsAbandonedAndUndoneWhenItEnds) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<int> undone;
  auto undone_with = undone.get_future();
  // The call cannot return before the caller has been answered: were the
  // caller to wait for it, this test would never end.
  const auto result = RunBounded<int>(
      50ms,
      [released] {
        released.wait();
        return 7;
      },
      [&undone](int& late) { undone.set_value(late); });
  EXPECT_FALSE(result.has_value());
  release.set_value();
  ASSERT_EQ(undone_with.wait_for(30s), std::future_status::ready);
  EXPECT_EQ(undone_with.get(), 7);
}
