#include "hotkey/hot_key.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using Log = std::vector<std::string>;

class HotKeyTest : public ::testing::Test {
 protected:
  std::shared_ptr<HotKey> create() {
    return HotKey::create([this] {
      ++calls;
      registeredDuringAction = fake.hotKeys.hotKeyRegistered;
    });
  }

  testing::FakePlatform fake;
  int calls = 0;
  bool registeredDuringAction = false;
};

TEST_F(HotKeyTest, CreationRegistersControlOptionCommandDAndEachPressQueuesTheActionOnce) {
  auto hotKey = create();
  EXPECT_THAT(fake.hotKeys.log, ElementsAre("install", "register"));
  ASSERT_EQ(fake.hotKeys.types.size(), 1u);
  EXPECT_EQ(fake.hotKeys.types[0].eventClass, 0x6B657962u);  // 'keyb'
  EXPECT_EQ(fake.hotKeys.types[0].eventKind, 5u);            // hot key pressed
  EXPECT_EQ(fake.hotKeys.keyCode, 2u);                       // D
  EXPECT_EQ(fake.hotKeys.modifiers, 256u + 2048u + 4096u);   // command, option, control
  EXPECT_EQ(fake.hotKeys.id.signature, 0x564C4D52u);         // 'VLMR'
  EXPECT_EQ(fake.hotKeys.id.id, 1u);
  EXPECT_EQ(fake.hotKeys.options, 0u);

  // The action never runs inside the event manager's call; presses are not merged.
  ASSERT_TRUE(fake.hotKeys.press());
  ASSERT_TRUE(fake.hotKeys.press());
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(fake.mainQueue.drain(), 2);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(fake.log.lines.empty());
}

// Release unregisters what was registered, then removes the handler; a press
// still queued keeps the object, registered, until its action has run.
TEST_F(HotKeyTest, ReleaseTearsDownInReverseOrderAfterQueuedPresses) {
  const Log all{"install", "register", "unregister", "remove"};
  const Log refused{"install", "register", "remove"};
  struct Case {
    const char* name;
    OSStatus registerStatus;
    bool drainBeforeRelease;
    Log atRelease;
    Log logged;
  };
  const Case cases[] = {
      {"press run before release", kNoErr, true, all, {}},
      {"press queued at release", kNoErr, false, {"install", "register"}, {}},
      {"registration refused",
       -9878,
       true,
       refused,
       {"Velmoryn: ショートカット ⌃⌥⌘D を登録できませんでした（-9878）"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool registered = c.registerStatus == kNoErr;
    fake.hotKeys.log.clear();
    fake.hotKeys.registerStatus = c.registerStatus;
    calls = 0;
    registeredDuringAction = false;
    auto hotKey = create();
    EXPECT_EQ(fake.hotKeys.press(), registered);
    if (c.drainBeforeRelease) fake.mainQueue.drain();
    hotKey.reset();
    EXPECT_EQ(fake.hotKeys.log, c.atRelease);
    fake.mainQueue.drain();
    EXPECT_EQ(fake.hotKeys.log, registered ? all : refused);
    EXPECT_EQ(calls, registered ? 1 : 0);
    EXPECT_EQ(registeredDuringAction, registered);
    EXPECT_FALSE(fake.hotKeys.press());
    EXPECT_EQ(fake.log.lines, c.logged);
  }
}

}  // namespace
}  // namespace velmoryn
