// The run's backup file as a run leaves it in the current directory: a
// file of the same second is appended to only when it is intact, and a cut
// tail left by a killed run is dropped first.
#include "raverazariduvivi_backup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "checklogic.h"
#include "testutil.h"

namespace fs = std::filesystem;

namespace {

const char kStamp[] = "20261208120000";

// Runs the test body in a scratch current directory with a data folder.
class BackupWriter : public testing::Test {
 protected:
  void SetUp() override {
    m_pathBefore = fs::current_path();
    fs::current_path(fs::path(dir.strRoot));
    g_strDataPath = dir.Path("data");
    BackupStart(kStamp);
  }
  void TearDown() override {
    EXPECT_TRUE(BackupFinish());
    fs::current_path(m_pathBefore);
    g_strDataPath.clear();
  }
  std::string File() const {
    return dir.Path(std::string("backup") + kStamp + ".dat");
  }
  BackupEntry Entry(const std::string& strCab) const {
    BackupEntry entry;
    entry.strLibrary = "Lib1";
    entry.strCabinet = strCab;
    entry.strPath = dir.Path("data/Lib1/" + strCab);
    entry.bBefore = true;
    entry.strBefore = "[ReadUserInfo]\r\nUserNameList=a,\r\n";
    entry.bAfter = true;
    entry.strAfter = "[ReadUserInfo]\r\nUserNameList=a,b,\r\n";
    return entry;
  }
  ScratchDir dir;
  fs::path m_pathBefore;
};

TEST_F(BackupWriter, AppendsBehindAnIntactFileAndDropsACutTail) {
  std::string strEarlier =
      BackupHeader(g_strDataPath) + BackupEntryBytes(Entry("CabA"));
  std::string strCut = BackupEntryBytes(Entry("CabB"));
  for (size_t nCut : {size_t{0}, strCut.size() / 2}) {
    SCOPED_TRACE("cut tail of " + std::to_string(nCut) + " bytes");
    ASSERT_TRUE(TestWriteFile(File(), strEarlier + strCut.substr(0, nCut)));
    BackupStart(kStamp);
    ASSERT_EQ(BackupWrite(Entry("CabC")), 1);
    ASSERT_TRUE(BackupFinish());
    EXPECT_EQ(TestReadFile(File()), strEarlier + BackupHeader(g_strDataPath) +
                                        BackupEntryBytes(Entry("CabC")));
  }
}

TEST_F(BackupWriter, LeavesADamagedFileAloneAndRefusesEveryEntry) {
  const std::string strDamaged = "RAVBACKUP 9\r\n";
  ASSERT_TRUE(TestWriteFile(File(), strDamaged));
  EXPECT_EQ(BackupWrite(Entry("CabA")), -1);
  EXPECT_EQ(BackupWrite(Entry("CabB")), -1);
  EXPECT_EQ(TestReadFile(File()), strDamaged);
}

}  // namespace
