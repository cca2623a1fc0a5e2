#include "hotkey/hot_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

// What a press does and what teardown undoes are the delegate's table; whether
// ⌃⌥⌘D is the chord registered is the simulated desktop's journey. A press
// queued just before the owner lets go still runs, and only then does the
// shortcut go.
TEST(HotKey, RunsAPressOnTheMainQueueNeverInsideTheEventManagersCallEvenOnceLetGo) {
  testing::FakePlatform fake;
  auto hotKey = HotKey::create([&] { fake.timeline.add("action"); });
  ASSERT_TRUE(fake.hotKeys.press());
  hotKey.reset();
  EXPECT_EQ(fake.timeline.matching({"action", "hotkey unregister"}), std::vector<std::string>{});
  fake.mainQueue.drain();
  EXPECT_EQ(fake.timeline.matching({"action", "hotkey unregister"}),
            (std::vector<std::string>{"action", "hotkey unregister"}));
}

}  // namespace
}  // namespace velmoryn
