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

// Release mirrors setup, after the last queued press has run (it holds the object).
TEST(HotKey, RegistersTheChordQueuesEachPressAndReleasesInReverseOrder) {
  const Log all{"install", "register", "unregister", "remove"};
  const Log refused{"install", "register", "remove"};
  const std::tuple<const char*, OSStatus, bool, Log> rows[] = {
      {"presses run before release", kNoErr, true, all},
      {"presses queued at release", kNoErr, false, {"install", "register"}},
      {"registration refused", -9878, true, refused},
  };
  for (const auto& [name, status, drainFirst, atRelease] : rows) {
    SCOPED_TRACE(name);
    testing::FakePlatform fake;
    const testing::FakeHotKeys& keys = fake.hotKeys;
    fake.hotKeys.registerStatus = status;
    const bool registered = status == kNoErr;
    int calls = 0;
    auto hotKey = HotKey::create([&] { ++calls; });
    ASSERT_EQ(keys.types.size(), 1u);
    // 'keyb', hot key pressed; D with command, option and control; 'VLMR' 1.
    EXPECT_EQ(std::tie(keys.types[0].eventClass, keys.types[0].eventKind, keys.keyCode,
                       keys.modifiers, keys.id.signature, keys.id.id, keys.options),
              std::make_tuple(0x6B657962u, 5u, 2u, 256u + 2048u + 4096u, 0x564C4D52u, 1u, 0u));
    EXPECT_EQ(fake.hotKeys.press(), registered);
    EXPECT_EQ(fake.hotKeys.press(), registered);  // presses are not merged
    EXPECT_EQ(calls, 0);  // the action never runs inside the event manager's call
    if (drainFirst) fake.mainQueue.drain();
    hotKey.reset();
    EXPECT_EQ(keys.log, atRelease);
    fake.mainQueue.drain();
    EXPECT_EQ(keys.log, registered ? all : refused);
    EXPECT_EQ(calls, registered ? 2 : 0);
    EXPECT_FALSE(fake.hotKeys.press());
    EXPECT_EQ(
        fake.log.lines,
        registered ? Log{} : Log{"Velmoryn: ショートカット ⌃⌥⌘D を登録できませんでした（-9878）"});
  }
}

}  // namespace
}  // namespace velmoryn
