#include "iniaccess.h"

#include <gtest/gtest.h>

#include "commonproc.h"
#include "platform/platform.h"
#include "raverazariduvivi_trace.h"
#include "testutil.h"

namespace {

// Shift-JIS names whose trail bytes are "\" (ソ, 表) and "|" (ポ).
const std::string kSo = "ソ";
const std::string kHyo = "表";
const std::string kPo = "ポ";
const std::string kBlock =
    CrLf({"", "[ReadUserInfo]", "UserNameList=admin," + kSo + ",",
          "ReadOnlyUserList=" + kHyo + "," + kPo + ","});

class IniAccessTest : public ::testing::Test {
 protected:
  void SetUp() override { PlatResetFaults(false); }
  void TearDown() override {
    PlatResetFaults(false);
    g_bTraceLog = 0;
  }
  std::string Ini() const { return dir.Path("Folder.ini"); }
  std::string NewIni() const { return dir.Path("Folder.ini.new"); }
  bool WriteIni(const std::string& strData) const {
    return TestWriteFile(Ini(), strData);
  }
  bool NoNewIni() const { return PlatGetFileKind(NewIni()) == kPlatMissing; }
  int WriteLists(int nMode) const {
    return WriteAndCheckFolderIni(dir.Path(), "admin," + kSo + ",",
                                  kHyo + "," + kPo + ",", nMode);
  }
  int Read(int nKey, std::string& strValue) const {
    return getKeyValue(dir.Path(), nKey, strValue);
  }
  ScratchDir dir;
};

TEST_F(IniAccessTest, GetKeyValueReadsEachKey) {
  ASSERT_TRUE(WriteIni(CrLf({"[FolderInfo]", "NameList=Lib1,Lib2",
                             "[ReadUserInfo]", "UserNameList=admin," + kSo,
                             "ReadOnlyUserList=" + kHyo + "," + kPo + ","})));
  ASSERT_TRUE(TestWriteFile(dir.Path("User.ini"),
                            CrLf({"[UserInfo]", "UserList=!DEFAULT"})));
  const std::string aExpected[] = {"Lib1,Lib2,", "admin," + kSo + ",",
                                   kHyo + "," + kPo + ",", "!DEFAULT,"};
  for (int nKey = 0; nKey < 4; ++nKey) {
    std::string strValue = "old";
    EXPECT_EQ(Read(nKey, strValue), 1) << nKey;
    EXPECT_EQ(strValue, aExpected[nKey]) << nKey;
  }
}

TEST_F(IniAccessTest, GetKeyValueEmptyOrMissingGivesZero) {
  for (const std::string& strFile :
       {CrLf({"[ReadUserInfo]", "UserNameList=", "ReadOnlyUserList=x,"}),
        CrLf({"[ReadUserInfo]", "ReadOnlyUserList=x,"}),
        CrLf({"[FolderInfo]", "UserNameList=x,"}),
        CrLf({"[ReadUserInfo]", "UserNameList=!default"}), std::string()}) {
    ASSERT_TRUE(WriteIni(strFile));
    std::string strValue = "old";
    EXPECT_EQ(Read(kKeyUserNameList, strValue), 0) << strFile;
    EXPECT_EQ(strValue, "") << strFile;
  }
}

TEST_F(IniAccessTest, GetKeyValueFailuresKeepStrValue) {
  // The INI path may be 1,023 bytes long; the folders need not exist.
  std::string strBase = dir.Path("x");
  std::string strAt1023 = strBase + std::string(1012 - strBase.size(), 'a');
  struct {
    std::string strFolder;
    int nKey;
    int nExpected;
  } aCases[] = {
      {"", kKeyNameList, -9},
      {dir.Path(), 4, -9},
      {dir.Path(), -1, -9},
      {dir.Path(), kKeyNameList, -1},
      {dir.Path(), kKeyUserList, -1},
      {strAt1023, kKeyNameList, -1},
      {strAt1023 + "a", kKeyNameList, -9},
  };
  for (const auto& c : aCases) {
    std::string strValue = "old";
    EXPECT_EQ(getKeyValue(c.strFolder, c.nKey, strValue), c.nExpected)
        << c.strFolder.size() << " " << c.nKey;
    EXPECT_EQ(strValue, "old");
  }
  ASSERT_TRUE(TestMakeDirs(Ini()));
  std::string strValue = "old";
  EXPECT_FALSE(IniOpenCheck(Ini()));
  EXPECT_EQ(Read(kKeyUserNameList, strValue), -9);
  EXPECT_EQ(strValue, "old");
}

TEST_F(IniAccessTest, GetKeyValueGrowsBufferUntilValueFits) {
  // A count of buffer size - 1 may be a cut value and takes another pass.
  struct {
    size_t nLength;
    int nPasses;
  } aCases[] = {{1022, 1}, {1023, 2}, {1500, 2}, {2047, 3}};
  g_bTraceLog = 1;
  for (const auto& c : aCases) {
    std::string strList = kSo + "," + std::string(c.nLength - 4, 'a') + ",";
    g_szTraceLogPath = dir.Path("trace" + std::to_string(c.nLength) + ".txt");
    ASSERT_TRUE(WriteIni(CrLf({"[ReadUserInfo]", "UserNameList=" + strList})));
    std::string strValue;
    EXPECT_EQ(Read(kKeyUserNameList, strValue), 1);
    EXPECT_EQ(strValue, strList) << c.nLength;
    std::string strTrace = TestReadFile(g_szTraceLogPath);
    for (int nPass = 1; nPass <= c.nPasses + 1; ++nPass)
      EXPECT_EQ(strTrace.find("BufSize=" + std::to_string(nPass * 1024)) !=
                    std::string::npos,
                nPass <= c.nPasses)
          << c.nLength << " pass " << nPass;
  }
}

TEST_F(IniAccessTest, ExistUserAnswers) {
  ASSERT_TRUE(WriteIni(CrLf({"[ReadUserInfo]", "UserNameList=alice,bob," + kSo,
                             "ReadOnlyUserList=joanna,annie,"})));
  struct {
    int nKey;
    std::string strUser;
    int nExpected;
    std::string strCopied;
  } aCases[] = {
      {kKeyUserNameList, "Bob", 1, "alice,bob," + kSo + ","},
      {kKeyUserNameList, kSo, 1, "alice,bob," + kSo + ","},
      {kKeyUserNameList, "carol", 0, "alice,bob," + kSo + ","},
      {kKeyReadOnlyUserList, "ann", 0, "joanna,annie,"},
      {kKeyReadOnlyUserList, "ANNIE", 1, "joanna,annie,"},
      {kKeyNameList, "alice", -1, "old"},
      {kKeyUserList, "alice", -1, "old"},
      {kKeyUserNameList, "", -1, "old"},
  };
  for (const auto& c : aCases) {
    std::string strValue = "old";
    EXPECT_EQ(existUser(dir.Path(), c.nKey, c.strUser, strValue, 0),
              c.nExpected);
    EXPECT_EQ(strValue, "old");
    EXPECT_EQ(existUser(dir.Path(), c.nKey, c.strUser, strValue, 1),
              c.nExpected);
    EXPECT_EQ(strValue, c.strCopied) << c.nKey << " " << c.strUser;
  }
}

TEST_F(IniAccessTest, ExistUserWithoutReadableFolderIni) {
  std::string strValue = "old";
  EXPECT_EQ(existUser("", kKeyUserNameList, "bob", strValue, 1), -1);
  EXPECT_EQ(existUser(dir.Path(), kKeyUserNameList, "bob", strValue, 1), 0);
  EXPECT_EQ(strValue, "");
  ASSERT_TRUE(TestMakeDirs(Ini()));
  strValue = "old";
  EXPECT_EQ(existUser(dir.Path(), kKeyUserNameList, "bob", strValue, 1), -1);
  EXPECT_EQ(strValue, "old");
}

TEST_F(IniAccessTest, RewriteOutcomes) {
  const std::string strAbc =
      CrLf({"[A]", "a=1", "[ReadUserInfo]", "UserNameList=old,",
            "ReadOnlyUserList=old,", "Other=1", "[B]", "b=2"});
  const char szBinary[] = "[A]\r\na=\x1A\0b\rc\r\nd\r";
  const std::string strBinary(szBinary, sizeof(szBinary) - 1);
  struct {
    const char* pszName;
    std::string strBefore;
    int nMode;
    std::string strAfter;
  } aCases[] = {
      {"replace in place", strAbc, kIniWrite,
       CrLf({"[A]", "a=1"}) + kBlock + CrLf({"[B]", "b=2"})},
      {"delete", strAbc, kIniDelete, CrLf({"[A]", "a=1", "[B]", "b=2"})},
      {"lower-case header", CrLf({"[readuserinfo]", "UserNameList=x,", "[B]"}),
       kIniWrite, kBlock + CrLf({"[B]"})},
      {"header with tail", CrLf({"[A]", "[READUSERINFO]x", "k=1"}), kIniWrite,
       CrLf({"[A]"}) + kBlock},
      {"no section", CrLf({"[A]", "  a=1 \t", "", "\t[B]"}), kIniWrite,
       CrLf({"[A]", "a=1", "[B]"}) + kBlock},
      {"no section, delete", CrLf({" [A]", "", "a=1"}), kIniDelete,
       CrLf({"[A]", "a=1"})},
      {"second section removed",
       CrLf({"[ReadUserInfo]", "k=1", "[B]", "b=2", "[ReadUserInfo]", "k=2",
             "[C]"}),
       kIniWrite, kBlock + CrLf({"[B]", "b=2", "[C]"})},
      {"empty file", "", kIniWrite, kBlock},
      {"rewrite is stable", CrLf({"[A]"}) + kBlock, kIniWrite,
       CrLf({"[A]"}) + kBlock},
      {"LF only, last line without LF", "[A]\na=1\n[ReadUserInfo]\nk=1\n[B]",
       kIniWrite, CrLf({"[A]", "a=1"}) + kBlock + CrLf({"[B]"})},
      {"0x1A, NUL and lone CR pass", strBinary, kIniDelete, strBinary + "\r\n"},
      {"Shift-JIS passes", CrLf({"[A]", kSo + "=" + kHyo + kPo + " "}),
       kIniDelete, CrLf({"[A]", kSo + "=" + kHyo + kPo})},
  };
  for (const auto& c : aCases) {
    ASSERT_TRUE(WriteIni(c.strBefore));
    ASSERT_TRUE(TestWriteFile(NewIni(), std::string(5000, 'x')));
    EXPECT_EQ(WriteLists(c.nMode), 1) << c.pszName;
    EXPECT_EQ(TestReadFile(Ini()), c.strAfter) << c.pszName;
    EXPECT_TRUE(NoNewIni()) << c.pszName;
  }
}

TEST_F(IniAccessTest, CheckModeFindsSectionAndWritesNothing) {
  struct {
    std::string strFile;
    int nExpected;
  } aCases[] = {
      {CrLf({"[A]", "[ReadUserInfo]"}), 1},
      {CrLf({"  [readUSERinfo]  "}), 1},
      {CrLf({"[A]", "ReadUserInfo", "[ReadUser]"}), 0},
      {"", 0},
  };
  for (const auto& c : aCases) {
    ASSERT_TRUE(WriteIni(c.strFile));
    EXPECT_EQ(WriteLists(kIniCheck), c.nExpected) << c.strFile;
    EXPECT_EQ(TestReadFile(Ini()), c.strFile);
    EXPECT_TRUE(NoNewIni());
  }
}

TEST_F(IniAccessTest, RewriteWithoutFolderIni) {
  EXPECT_EQ(WriteLists(kIniCheck), 0);
  EXPECT_EQ(deleteReadUserInfo(dir.Path()), 1);
  EXPECT_EQ(PlatGetFileKind(Ini()), kPlatMissing);
  EXPECT_TRUE(NoNewIni());
  EXPECT_EQ(WriteLists(kIniWrite), 1);
  EXPECT_EQ(TestReadFile(Ini()), kBlock);
  EXPECT_TRUE(NoNewIni());
}

TEST_F(IniAccessTest, RewriteInShiftJisFolder) {
  std::string strFolder = dir.Path(kSo + "/" + kHyo);
  std::string strIni = JoinPath(strFolder, "Folder.ini");
  ASSERT_TRUE(TestWriteFile(strIni, CrLf({"[ReadUserInfo]", "k=1"})));
  EXPECT_EQ(WriteAndCheckFolderIni(strFolder, "", "", kIniWrite), 1);
  EXPECT_EQ(TestReadFile(strIni),
            CrLf({"", "[ReadUserInfo]", "UserNameList=", "ReadOnlyUserList="}));
}

TEST_F(IniAccessTest, BadArgumentsAndUnreadableFilesLeaveFolderIniAlone) {
  const std::string strOld = CrLf({"[A]", "[ReadUserInfo]", "k=1"});
  ASSERT_TRUE(WriteIni(strOld));
  EXPECT_EQ(WriteAndCheckFolderIni("", "", "", kIniWrite), -9);
  EXPECT_EQ(WriteLists(3), -9);
  EXPECT_EQ(WriteLists(-1), -9);
  EXPECT_EQ(deleteReadUserInfo(""), -9);
  EXPECT_TRUE(NoNewIni());
  ASSERT_TRUE(TestMakeDirs(NewIni()));
  EXPECT_EQ(WriteLists(kIniWrite), -2);
  EXPECT_EQ(deleteReadUserInfo(dir.Path()), -2);
  EXPECT_EQ(WriteLists(kIniCheck), 1);
  EXPECT_EQ(TestReadFile(Ini()), strOld);
  ScratchDir dirOther;
  ASSERT_TRUE(TestMakeDirs(dirOther.Path("Folder.ini")));
  for (int nMode : {kIniWrite, kIniDelete, kIniCheck})
    EXPECT_EQ(WriteAndCheckFolderIni(dirOther.Path(), "", "", nMode), -1);
  EXPECT_EQ(PlatGetFileKind(dirOther.Path("Folder.ini.new")), kPlatMissing);
}

TEST_F(IniAccessTest, FailedNewFileOrMoveLeavesFolderIniAlone) {
  const std::string strOld = CrLf({"[A]", "a=" + kSo, "[ReadUserInfo]", "k=1"});
  // Creates and writes go to Folder.ini.new; replaces and copies are matched
  // on their destination, Folder.ini.
  struct {
    int nCall;
    const char* pszPathEnd;
    int nFallbackCall;
    int nExpected;
  } aCases[] = {
      {kFaultCreate, "Folder.ini.new", -1, -2},
      {kFaultWrite, "Folder.ini.new", -1, -2},
      {kFaultSync, "Folder.ini.new", -1, -2},
      {kFaultClose, "Folder.ini.new", -1, -2},
      {kFaultReplace, "Folder.ini", -1, -4},
      {kFaultRefuse, "Folder.ini", kFaultCopy, -4},
  };
  for (const auto& c : aCases) {
    ASSERT_TRUE(WriteIni(strOld));
    PlatSetFault(c.nCall, c.pszPathEnd, 0, 100);
    if (c.nFallbackCall >= 0)
      PlatSetFault(c.nFallbackCall, "Folder.ini", 0, 100);
    EXPECT_EQ(WriteLists(kIniWrite), c.nExpected) << c.nCall;
    PlatResetFaults(false);
    EXPECT_EQ(TestReadFile(Ini()), strOld) << c.nCall;
  }
}

TEST_F(IniAccessTest, MoveSurvivesRetryAndRefusal) {
  for (int nCall : {kFaultReplace, kFaultRefuse}) {
    ASSERT_TRUE(WriteIni(CrLf({"[A]"})));
    PlatSetFault(nCall, "Folder.ini", 0, nCall == kFaultReplace ? 4 : 1);
    EXPECT_EQ(WriteLists(kIniWrite), 1) << nCall;
    PlatResetFaults(false);
    EXPECT_EQ(TestReadFile(Ini()), CrLf({"[A]"}) + kBlock) << nCall;
    EXPECT_TRUE(NoNewIni()) << nCall;
  }
}

}  // namespace
