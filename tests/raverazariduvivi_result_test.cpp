#include "raverazariduvivi_result.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "commonproc.h"
#include "platform/platform.h"
#include "platform/platform_test_helper.h"
#include "testutil.h"

namespace {

struct RecordCase {
  int nType, nResult, nAccess;
  const char* pszUser;
  const char* pszLib;
  const char* pszCab;
  const char* pszMsg;
  const char* pszWant;
};

// Five commas always; the general viewer's list name is shown without its
// "!", a user literally named so is not touched; no place without a library.
const RecordCase kRecords[] = {
    {kLogExe, kLogNg, kLogNone, "", "", "", "書庫一覧の取得に失敗",
     "EXE,NG,,,,書庫一覧の取得に失敗"},
    {kLogAdd, kLogOk, kLogW, "taro", "L1", "C1", "", "ADD,OK,W,taro,L1/C1,"},
    {kLogDel, kLogOk, kLogR, "一般閲覧者!", "L1", "C1", "",
     "DEL,OK,R,一般閲覧者,L1/C1,"},
    {kLogUsr, kLogOk, kLogRW, "一般閲覧者", "L1", "", "",
     "USR,OK,RW,一般閲覧者,L1,"},
    {kLogLst, kLogNg, kLogNone, "", "", "C1", "x", "LST,NG,,,,x"},
    {10, 2, 4, "a,b", "L,1", "C", "m", ",,,a,b,L,1/C,m"},
    {kLogUnd, kLogOk, kLogNone, "", "L1", "C1", "", "UND,OK,,,L1/C1,"},
    {kLogRst, kLogOk, kLogNone, "", "ソフト", "表計算", "",
     "RST,OK,,,ソフト/表計算,"},
};

TEST(SetResultLog, FormsSixFields) {
  for (const RecordCase& c : kRecords)
    EXPECT_EQ(SetResultLog(c.nType, c.nResult, c.nAccess, c.pszUser, c.pszLib,
                           c.pszCab, c.pszMsg),
              c.pszWant);
}

// Runs each test in a scratch current directory and puts the old one back.
class ResultFile : public ::testing::Test {
 protected:
  void SetUp() override {
    PlatResetFaults(false);
    pathOld = std::filesystem::current_path();
    std::filesystem::current_path(dir.strRoot);
  }
  void TearDown() override {
    PlatResetFaults(false);
    std::filesystem::current_path(pathOld);
  }
  int Open() {
    std::string strName;
    return LogOpen("20261208000000", "2026/12/08 00:00:00", "cmd", strName);
  }
  std::string File() const { return dir.Path("result20261208000000.txt"); }
  std::string Written() const { return TestReadFile(File()); }
  ScratchDir dir;
  std::filesystem::path pathOld;
};

// The header is the whole record of what was asked: a header that cannot be
// written fails the run before anything is changed.
TEST_F(ResultFile, EveryHeaderLineMustBeWritten) {
  for (int nSkip = 0; nSkip < 4; ++nSkip) {
    PlatSetFault(kFaultWrite, "txt", nSkip, 1);
    EXPECT_EQ(Open(), -2) << nSkip;
    EXPECT_TRUE(ResultWriteFailed());
    EXPECT_FALSE(TestIsOpen(File()));
  }
  PlatSetFault(kFaultSync, "txt", 0, 1);  // the header must reach the disk
  EXPECT_EQ(Open(), -2);
  PlatResetFaults(false);
  EXPECT_EQ(Open(), 1);
  EXPECT_FALSE(ResultWriteFailed());
  LogClose();
}

// A record that cannot be written, or a last flush or close that fails, is
// remembered, and the cabinet in hand counts as an error even when its
// change worked.
TEST_F(ResultFile, FailedWritesAreRememberedAndCountTheCabinetAsFailed) {
  for (int nCall : {kFaultWrite, kFaultClose, kFaultSync}) {
    g_nTargetCabinetCount = g_nSuccessCabinetCount = g_nErrorCabinetCount = 0;
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(LogOut("ADD,OK,W,taro,L/C,"), 1);
    CountCabinet(true);
    PlatSetFault(nCall, "txt", 0, 1);
    EXPECT_EQ(LogOut("ADD,OK,R,taro,L/C2,"), nCall == kFaultWrite ? 0 : 1);
    CountCabinet(true);
    EXPECT_EQ(ResultWriteFailed(), nCall == kFaultWrite);
    EXPECT_EQ(LogClose(), nCall == kFaultWrite ? -1 : 1);
    EXPECT_TRUE(ResultWriteFailed());
    EXPECT_FALSE(TestIsOpen(File()));
    EXPECT_EQ(g_nSuccessCabinetCount, nCall == kFaultWrite ? 1 : 2);
  }
}

// A record written a second after the last flush is flushed with it.
TEST_F(ResultFile, RecordsReachTheDiskOnceASecond) {
  ASSERT_EQ(Open(), 1);
  PlatSetFault(kFaultSync, "txt", 0, 1);
  EXPECT_EQ(LogOut("ADD,OK,W,taro,L/C,"), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(LogOut("ADD,OK,R,taro,L/C,"), 0);
  EXPECT_TRUE(ResultWriteFailed());
  LogClose();
}

// The current directory may be 259 bytes long, not one more.
TEST_F(ResultFile, CurrentDirectoryUpTo259Bytes) {
  std::string strDir;
  ASSERT_TRUE(PlatGetCurrentDirectory(strDir));
  while (strDir.size() < 259) {
    std::string strName(std::min<size_t>(100, 259 - strDir.size() - 1), 'd');
    strDir = JoinPath(strDir, strName);
    // CreateDirectoryA stops at 248 bytes: a Windows current directory
    // cannot come near the limit.
    if (!PlatMakeDirectory(strDir))
      GTEST_SKIP() << "no folder path of 259 bytes here";
  }
  for (const std::string& strTry : {strDir, JoinPath(strDir, "e")}) {
    // Past MAX_PATH the ANSI Windows API makes no folder: no such current
    // directory can occur there.
    if (strTry.size() > 259 && !PlatMakeDirectory(strTry)) continue;
    std::filesystem::current_path(strTry);
    std::string strGot;
    bool bUsable = GetUsableCurrentDirectory(strGot);
    EXPECT_EQ(bUsable, strTry.size() == 259) << strTry.size();
  }
  std::filesystem::current_path(dir.strRoot);
}

}  // namespace
