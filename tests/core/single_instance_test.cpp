// The one-copy lock: a lock file that cannot be made never keeps the program
// from running. A second copy is refused in the end-to-end tests.
#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace tarnwick::test {
namespace {

TEST(SingleInstanceLockTest, ALockFileThatCannotBeMadeDoesNotStopTheProgram) {
  TempDir dir;
  platform::SingleInstanceLock lock;
  EXPECT_TRUE(lock.Acquire(dir.File("no/such/folder/tarnwick.lock")));
  EXPECT_FALSE(lock.Held());
}

}  // namespace
}  // namespace tarnwick::test
