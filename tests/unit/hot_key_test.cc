#include "hotkey/hot_key.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

// What a press does and what teardown undoes are the delegate's table; whether
// ⌃⌥⌘D is the chord registered is the simulated desktop's journey.
TEST(HotKey, RunsAPressOnTheMainQueueNeverInsideTheEventManagersCall) {
  testing::FakePlatform fake;
  int runs = 0;
  const auto hotKey = HotKey::create([&] { ++runs; });
  ASSERT_TRUE(fake.hotKeys.press());
  EXPECT_EQ(runs, 0);
  fake.mainQueue.drain();
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace velmoryn
