// The real instance lock on real files: its folder, a second taker, a failure.
#include "platform/posix/posix_instance_lock.h"

#include <gtest/gtest.h>

#include "integration/file_test_support.h"

namespace velmoryn {
namespace {

using Outcome = InstanceLockResult::Outcome;

// Missing folders are made private; a file where a folder should be is named in the
// reason. (A second copy refused is the journey of a launch beside a copy still launching.)
TEST(PosixInstanceLock, HeldForGoodInAPrivateFolderAndFailuresSayWhere) {
  testing::TemporaryFolder temp;
  const auto file = temp.path / "run" / "velmoryn" / "instance.lock";
  PosixInstanceLock first(file);
  EXPECT_EQ(first.acquire().outcome, Outcome::held);
  EXPECT_EQ(first.acquire().outcome, Outcome::held);  // held for good
  EXPECT_EQ(testing::modeOf(file.parent_path()), 0700u);
  EXPECT_EQ(testing::modeOf(file), 0600u);

  testing::writeFile(temp.path / "file", "");
  const InstanceLockResult blocked = PosixInstanceLock(temp.path / "file" / "x.lock").acquire();
  EXPECT_EQ(blocked.outcome, Outcome::failed);
  EXPECT_EQ(blocked.reason,
            "cannot open " + (temp.path / "file" / "x.lock").string() + ": Not a directory");
}

}  // namespace
}  // namespace velmoryn
