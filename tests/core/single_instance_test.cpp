// The one-copy lock: a second holder is refused until the first lets go, and
// a lock file that cannot be made never keeps the program from running.
#include "common/single_instance.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace tarnwick::test {
namespace {

TEST(SingleInstanceLockTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
  TempDir dir;
  const std::string path = dir.File("tarnwick.lock");
  auto first = std::make_unique<SingleInstanceLock>();
  ASSERT_TRUE(first->Acquire(path));
  EXPECT_TRUE(first->Held());
  SingleInstanceLock second;
  EXPECT_FALSE(second.Acquire(path));
  EXPECT_FALSE(second.Held());
  first.reset();
  EXPECT_TRUE(second.Acquire(path));
  EXPECT_TRUE(second.Held());
}

TEST(SingleInstanceLockTest, ALockFileThatCannotBeMadeDoesNotStopTheProgram) {
  TempDir dir;
  SingleInstanceLock lock;
  EXPECT_TRUE(lock.Acquire(dir.File("no/such/folder/tarnwick.lock")));
  EXPECT_FALSE(lock.Held());
}

}  // namespace
}  // namespace tarnwick::test
