// A second copy of the tool refuses to run while the single-instance lock is
// held. This test takes the lock itself, so it lives in a binary of its own.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "testrun.h"
#include "testutil.h"

TEST(SingleInstance, SecondCopyIsRefused) {
  ASSERT_EQ(PlatAcquireSingleInstance("Tb2CabinetAuth"), 1);
  ScratchDir dir;
  std::string strOutput;
  EXPECT_EQ(TestRunTool({"/list-authstatus"}, dir.Path(), strOutput), 255);
  EXPECT_EQ(strOutput, "エラー：本ツールは同時に２つ以上実行できません。\n");
}
