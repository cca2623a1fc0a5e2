#include "hotkey/hot_key.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

using ::testing::ElementsAre;
using testing::FakePlatform;

class HotKeyTest : public ::testing::Test {
 protected:
  FakePlatform fake;
  int calls = 0;
  std::function<void()> countCalls() {
    return [this] { ++calls; };
  }
};

TEST_F(HotKeyTest, RegistersControlOptionCommandDWithTheFixedIdentifierAtCreation) {
  auto hotKey = HotKey::create(countCalls());

  EXPECT_THAT(fake.hotKeys.log, ElementsAre("install", "register"));
  ASSERT_EQ(fake.hotKeys.types.size(), 1u);
  EXPECT_EQ(fake.hotKeys.types[0].eventClass, 0x6B657962u);  // 'keyb'
  EXPECT_EQ(fake.hotKeys.types[0].eventKind, 5u);
  EXPECT_EQ(fake.hotKeys.keyCode, 2u);
  EXPECT_EQ(fake.hotKeys.modifiers, 256u + 2048u + 4096u);
  EXPECT_EQ(fake.hotKeys.id.signature, 0x564C4D52u);  // 'VLMR'
  EXPECT_EQ(fake.hotKeys.id.id, 1u);
  EXPECT_EQ(fake.hotKeys.options, 0u);
  EXPECT_TRUE(fake.hotKeys.hotKeyRegistered);
  EXPECT_TRUE(fake.log.lines.empty());
}

TEST_F(HotKeyTest, APressQueuesTheActionOnTheMainQueueInsteadOfRunningIt) {
  auto hotKey = HotKey::create(countCalls());

  ASSERT_TRUE(fake.hotKeys.press());
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(fake.mainQueue.pending(), 1u);

  EXPECT_EQ(fake.mainQueue.drain(), 1);
  EXPECT_EQ(calls, 1);
}

TEST_F(HotKeyTest, TwoPressesRunTheActionTwice) {
  auto hotKey = HotKey::create(countCalls());

  fake.hotKeys.press();
  fake.hotKeys.press();
  fake.mainQueue.drain();

  EXPECT_EQ(calls, 2);
}

TEST_F(HotKeyTest, AFailedRegistrationLogsTheSignedStatusAndKeepsTheHandler) {
  fake.hotKeys.registerStatus = -9878;  // eventHotKeyExistsErr

  auto hotKey = HotKey::create(countCalls());

  EXPECT_THAT(fake.log.lines,
              ElementsAre("Velmoryn: ショートカット ⌃⌥⌘D を登録できませんでした（-9878）"));
  EXPECT_TRUE(fake.hotKeys.handlerInstalled);
  EXPECT_FALSE(fake.hotKeys.press());

  // Nothing registered, so release has nothing to unregister but removes the handler.
  hotKey.reset();
  EXPECT_THAT(fake.hotKeys.log, ElementsAre("install", "register", "remove"));
}

TEST_F(HotKeyTest, ReleaseUnregistersTheShortcutThenRemovesTheHandler) {
  auto hotKey = HotKey::create(countCalls());

  hotKey.reset();

  EXPECT_THAT(fake.hotKeys.log, ElementsAre("install", "register", "unregister", "remove"));
  EXPECT_FALSE(fake.hotKeys.press());
  fake.mainQueue.drain();
  EXPECT_EQ(calls, 0);
}

TEST_F(HotKeyTest, AQueuedPressKeepsTheObjectAliveAndRunsOnceBeforeItIsUnregistered) {
  auto hotKey = HotKey::create([this] {
    ++calls;
    // Still registered while the queued action runs.
    EXPECT_TRUE(fake.hotKeys.hotKeyRegistered);
  });
  fake.hotKeys.press();

  hotKey.reset();
  EXPECT_THAT(fake.hotKeys.log, ElementsAre("install", "register"));

  fake.mainQueue.drain();
  EXPECT_EQ(calls, 1);
  EXPECT_THAT(fake.hotKeys.log, ElementsAre("install", "register", "unregister", "remove"));
}

}  // namespace
}  // namespace velmoryn
