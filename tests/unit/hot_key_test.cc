#include "hotkey/hot_key.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using Log = std::vector<std::string>;

// How presses wait for the main queue and hold the key past a release is the
// delegate's table; here the chord and what a refused registration leaves.
TEST(HotKey, RegistersTheChordRunsEachPressLaterAndUndoesOnlyWhatItSetUp) {
  for (const OSStatus status : {kNoErr, OSStatus{-9878}}) {
    testing::FakePlatform fake;
    fake.hotKeys.registerStatus = status;
    int calls = 0;
    auto hotKey = HotKey::create([&] { ++calls; });
    fake.hotKeys.press();
    fake.hotKeys.press();
    EXPECT_EQ(calls, 0);  // the action never runs inside the event manager's call
    fake.mainQueue.drain();
    hotKey.reset();
    EXPECT_EQ(calls, status == kNoErr ? 2 : 0);  // presses are not merged
    // Hot key pressed; D (2) with command, option and control (256 + 2048 + 4096).
    Log expected{"hotkey install keyb/5", "hotkey register 2 6400 VLMR/1 0", "hotkey remove"};
    if (status == kNoErr) expected.insert(expected.end() - 1, "hotkey unregister");
    EXPECT_EQ(fake.timeline.matching({"hotkey"}), expected);
  }
}

}  // namespace
}  // namespace velmoryn
