#include "hotkey/hot_key.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using Log = std::vector<std::string>;

// Setup installs the handler, then registers the chord; release mirrors it in
// reverse, after the last queued press has run (the press holds the object).
TEST(HotKey, RegistersTheChordQueuesEachPressAndReleasesInReverseOrder) {
  const Log all{"install", "register", "unregister", "remove"};
  const Log refused{"install", "register", "remove"};
  struct Case {
    const char* name;
    OSStatus registerStatus;
    bool drainBeforeRelease;
    Log atRelease, atEnd, logged;
  };
  const Case cases[] = {
      {"presses run before release", kNoErr, true, all, all, {}},
      {"presses queued at release", kNoErr, false, {"install", "register"}, all, {}},
      {"registration refused",
       -9878,
       true,
       refused,
       refused,
       {"Velmoryn: ショートカット ⌃⌥⌘D を登録できませんでした（-9878）"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakePlatform fake;
    fake.hotKeys.registerStatus = c.registerStatus;
    const bool registered = c.registerStatus == kNoErr;
    int calls = 0;
    bool registeredDuringAction = false;
    auto hotKey = HotKey::create([&] {
      ++calls;
      registeredDuringAction = fake.hotKeys.hotKeyRegistered;
    });
    ASSERT_EQ(fake.hotKeys.types.size(), 1u);
    EXPECT_EQ(fake.hotKeys.types[0].eventClass, 0x6B657962u);  // 'keyb'
    EXPECT_EQ(fake.hotKeys.types[0].eventKind, 5u);            // hot key pressed
    EXPECT_EQ(fake.hotKeys.keyCode, 2u);                       // D
    EXPECT_EQ(fake.hotKeys.modifiers, 256u + 2048u + 4096u);   // command, option, control
    EXPECT_EQ(fake.hotKeys.id.signature, 0x564C4D52u);         // 'VLMR'
    EXPECT_EQ(fake.hotKeys.id.id, 1u);
    EXPECT_EQ(fake.hotKeys.options, 0u);

    EXPECT_EQ(fake.hotKeys.press(), registered);
    EXPECT_EQ(fake.hotKeys.press(), registered);  // presses are not merged
    EXPECT_EQ(calls, 0);  // the action never runs inside the event manager's call
    if (c.drainBeforeRelease) fake.mainQueue.drain();
    hotKey.reset();
    EXPECT_EQ(fake.hotKeys.log, c.atRelease);
    fake.mainQueue.drain();
    EXPECT_EQ(fake.hotKeys.log, c.atEnd);
    EXPECT_EQ(calls, registered ? 2 : 0);
    EXPECT_EQ(registeredDuringAction, registered);
    EXPECT_FALSE(fake.hotKeys.press());
    EXPECT_EQ(fake.log.lines, c.logged);
  }
}

}  // namespace
}  // namespace velmoryn
