#include "hotkey/hot_key.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace velmoryn {
namespace {

// Whether ⌃⌥⌘D is the chord registered is the simulated desktop's journey; how
// presses reach the delegate is the delegate's table.
TEST(HotKey, RunsEachPressLaterAndUndoesOnlyWhatItSetUp) {
  struct Row {
    const char* name;
    OSStatus registration;
    int runs;  // of the two presses, once the main queue has run
    std::vector<std::string> calls;
  };
  for (const Row& row : {
           Row{.name = "registered",
          .registration = kNoErr,
          .runs = 2,
          .calls = {"hotkey install", "hotkey register", "hotkey unregister", "hotkey remove"}},
           Row{.name = "refused",
           .registration = -9878,
           .runs = 0,
           .calls = {"hotkey install", "hotkey register", "hotkey remove"}},
       }) {
    testing::FakePlatform fake;
    fake.hotKeys.registerStatus = row.registration;
    int runs = 0;
    auto hotKey = HotKey::create([&] { ++runs; });
    fake.hotKeys.press();
    fake.hotKeys.press();
    EXPECT_EQ(runs, 0) << row.name << ": never inside the event manager's call";
    fake.mainQueue.drain();
    hotKey.reset();
    EXPECT_EQ(runs, row.runs) << row.name;
    EXPECT_EQ(fake.timeline.matching({"hotkey"}), row.calls) << row.name;
  }
}

}  // namespace
}  // namespace velmoryn
