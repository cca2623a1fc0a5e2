#include "hotkey/hot_key.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
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
    const testing::FakeHotKeys& keys = fake.hotKeys;
    fake.hotKeys.registerStatus = status;
    int calls = 0;
    auto hotKey = HotKey::create([&] { ++calls; });
    ASSERT_EQ(keys.types.size(), 1u);
    // 'keyb', hot key pressed; D with command, option and control; 'VLMR' 1.
    EXPECT_EQ(std::tie(keys.types[0].eventClass, keys.types[0].eventKind, keys.keyCode,
                       keys.modifiers, keys.id.signature, keys.id.id, keys.options),
              std::make_tuple(0x6B657962u, 5u, 2u, 256u + 2048u + 4096u, 0x564C4D52u, 1u, 0u));
    fake.hotKeys.press();
    fake.hotKeys.press();
    EXPECT_EQ(calls, 0);  // the action never runs inside the event manager's call
    fake.mainQueue.drain();
    hotKey.reset();
    EXPECT_EQ(calls, status == kNoErr ? 2 : 0);  // presses are not merged
    const Log all{"install", "register", "unregister", "remove"};
    EXPECT_EQ(keys.log, status == kNoErr ? all : Log({"install", "register", "remove"}));
  }
}

}  // namespace
}  // namespace velmoryn
