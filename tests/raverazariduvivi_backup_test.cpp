// The run's backup file as a run leaves it in the current directory: a
// file of the same second is appended to only when it is intact, and a cut
// tail left by a killed run is dropped first.
#include "raverazariduvivi_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// An earlier run's file of either version, whole or with a cut tail (a
// prefix, or in version 2 zeros and a hole where the disk had not written
// the data yet): the tail is dropped, the earlier run kept byte for byte,
// and this run appended in version 2.
TEST_F(BackupWriter, AppendsBehindAnIntactFileAndDropsACutTail) {
  const std::string strCut = BackupEntryBytes(Entry("CabB"));
  std::string strHoled = strCut;
  std::fill(strHoled.begin() + 10, strHoled.end() - 10, '\0');
  const struct {
    int nVersion;
    std::string strTail;
  } kCases[] = {
      {1, ""},       {1, BackupEntryBytes(Entry("CabB"), 1).substr(0, 40)},
      {2, ""},       {2, strCut.substr(0, strCut.size() / 2)},
      {2, strHoled}, {2, std::string(50, '\0')},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE("version " + std::to_string(c.nVersion) + ", a cut tail of " +
                 std::to_string(c.strTail.size()) + " bytes");
    std::string strEarlier = BackupHeader(g_strDataPath, c.nVersion) +
                             BackupEntryBytes(Entry("CabA"), c.nVersion);
    ASSERT_TRUE(TestWriteFile(File(), strEarlier + c.strTail));
    BackupStart(kStamp);
    ASSERT_EQ(BackupWrite(Entry("CabC")), 1);
    ASSERT_TRUE(BackupFinish());
    EXPECT_EQ(TestReadFile(File()), strEarlier + BackupHeader(g_strDataPath) +
                                        BackupEntryBytes(Entry("CabC")));
  }
}

// A damaged file (an unknown version, a hole in version 1, a version 2
// entry failing its check before a good one) is left alone.
TEST_F(BackupWriter, LeavesADamagedFileAloneAndRefusesEveryEntry) {
  std::string strFlipped = BackupEntryBytes(Entry("CabA"));
  strFlipped[strFlipped.size() / 2] ^= 1;
  const std::string kDamaged[] = {
      "RAVBACKUP 9\r\n",
      BackupHeader(g_strDataPath, 1) + BackupEntryBytes(Entry("CabA"), 1) +
          std::string(50, '\0'),
      BackupHeader(g_strDataPath) + strFlipped +
          BackupEntryBytes(Entry("CabB")),
  };
  for (const std::string& strDamaged : kDamaged) {
    ASSERT_TRUE(TestWriteFile(File(), strDamaged));
    BackupStart(kStamp);
    EXPECT_EQ(BackupWrite(Entry("CabA")), -1);
    EXPECT_EQ(BackupWrite(Entry("CabB")), -1);
    EXPECT_EQ(TestReadFile(File()), strDamaged);
  }
}

}  // namespace
