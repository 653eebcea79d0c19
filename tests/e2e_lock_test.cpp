// The single-instance lock: a second copy of the tool refuses to run while
// it is held, and whatever stands at the lock's name never makes the tool
// wait. The test takes the lock itself, so it lives in a binary of its own.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "testfs.h"
#include "testrun.h"
#include "testutil.h"

namespace {

const char kRefused[] = "エラー：本ツールは同時に２つ以上実行できません。\n";

// Runs before the lock is taken below: a FIFO at the lock file's name (where
// the POSIX build keeps its lock) is refused at once, never opened and
// waited on.
TEST(SingleInstance, FifoAsLockFileIsRefusedWithoutWaiting) {
  const std::string strLock = "/tmp/Tb2CabinetAuth.lock";
  if (PlatPathSeparator() == '\\')
    GTEST_SKIP() << "the lock is a named mutex here";
  static_cast<void>(PlatDeleteFile(strLock));
  ASSERT_EQ(TestMakeFifo(strLock), kTestMade);
  ScratchDir dir;
  std::string strOutput;
  TestRunOptions options;
  options.nTimeoutSeconds = 10;
  int nExit = TestRunTool({"/list-authstatus"}, dir.Path(), strOutput, options);
  EXPECT_TRUE(PlatDeleteFile(strLock));
  EXPECT_EQ(nExit, 255);
  EXPECT_EQ(strOutput, kRefused);
}

// Runs before this process takes the lock's plain name below: a copy that
// holds only the machine-wide name (one in another logon session) refuses
// the tool as well.
TEST(SingleInstance, CopyInAnotherSessionIsRefused) {
  if (!TestHoldMachineLock("Tb2CabinetAuth"))
    GTEST_SKIP() << "the lock has no machine-wide form here";
  ScratchDir dir;
  std::string strOutput;
  EXPECT_EQ(TestRunTool({"/list-authstatus"}, dir.Path(), strOutput), 255);
  EXPECT_EQ(strOutput, kRefused);
}

TEST(SingleInstance, SecondCopyIsRefused) {
  ASSERT_EQ(PlatAcquireSingleInstance("Tb2CabinetAuth"), 1);
  ScratchDir dir;
  std::string strOutput;
  EXPECT_EQ(TestRunTool({"/list-authstatus"}, dir.Path(), strOutput), 255);
  EXPECT_EQ(strOutput, kRefused);
}

}  // namespace
