#include "iniaccess.h"

#include <gtest/gtest.h>

#include "commonproc.h"
#include "platform/platform.h"
#include "platform/platform_test_helper.h"
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
  FolderIni Loaded(const std::string& strFolder = "") const {
    FolderIni ini;
    EXPECT_GE(ReadFolderIni(strFolder.empty() ? dir.Path() : strFolder, ini),
              0);
    return ini;
  }
  int WriteLists(int nMode) const {
    return WriteAndCheckFolderIni(Loaded(), "admin," + kSo + ",",
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
        CrLf({"[ReadUserInfo]", "UserNameList=!default"})}) {
    ASSERT_TRUE(WriteIni(strFile));
    std::string strValue = "old";
    EXPECT_EQ(Read(kKeyUserNameList, strValue), 0) << strFile;
    EXPECT_EQ(strValue, "") << strFile;
  }
}

TEST_F(IniAccessTest, GetKeyValueFailuresKeepStrValue) {
  // The INI path may be 1,023 bytes long; the folders need not exist. No
  // folder name passes 200 bytes, which every file system takes.
  std::string strAt1023 = dir.Path("x");
  while (strAt1023.size() < 1012)
    strAt1023 +=
        PlatPathSeparator() +
        std::string(std::min<size_t>(200, 1011 - strAt1023.size()), 'a');
  ASSERT_TRUE(TestMakeDirs(dir.Path("d/Folder.ini")));
  struct {
    std::string strFolder;
    int nKey, nExpected;
  } aCases[] = {
      {"", kKeyNameList, -9},
      {dir.Path(), 4, -9},
      {dir.Path(), -1, -9},
      {dir.Path(), kKeyNameList, -1},
      // Windows cannot name a path this long: a failure, never missing.
      {strAt1023, kKeyNameList, PlatPathSeparator() == '\\' ? -9 : -1},
      {strAt1023 + "a", kKeyNameList, -9},
      {dir.Path("d"), kKeyUserNameList, -9},
  };
  for (const auto& c : aCases) {
    std::string strValue = "old";
    EXPECT_EQ(getKeyValue(c.strFolder, c.nKey, strValue), c.nExpected)
        << c.strFolder.size() << " " << c.nKey;
    EXPECT_EQ(strValue, "old");
  }
}

// Values around the old 1,024-byte steps are read whole, in one pass.
TEST_F(IniAccessTest, GetKeyValueReadsLongValuesInOnePass) {
  g_bTraceLog = 1;
  for (size_t nLength : {1022, 1023, 1500, 2047, 70000}) {
    std::string strList = kSo + "," + std::string(nLength - 4, 'a') + ",";
    g_szTraceLogPath = dir.Path("trace" + std::to_string(nLength) + ".txt");
    ASSERT_TRUE(WriteIni(CrLf({"[ReadUserInfo]", "UserNameList=" + strList})));
    std::string strValue;
    EXPECT_EQ(Read(kKeyUserNameList, strValue), 1);
    EXPECT_EQ(strValue, strList) << nLength;
    std::string strTrace = TestReadFile(g_szTraceLogPath);
    size_t nFirst = strTrace.find("BufSize=");
    EXPECT_NE(nFirst, std::string::npos);
    EXPECT_EQ(strTrace.find("BufSize=", nFirst + 1), std::string::npos)
        << nLength;
  }
}

// A read that fails is a failure, never a missing key: after the access
// lists were found, a list read that fails must not come back empty. A
// file busy in another process is waited out over five tries.
TEST_F(IniAccessTest, FailedReadsAreFailuresNeverEmptyLists) {
  ASSERT_TRUE(WriteIni(CrLf({"[ReadUserInfo]", "UserNameList=alice,"})));
  struct {
    int nCall, nTimes, nRead, nGet;
  } const aCases[] = {
      {kFaultRead, 1, -9, -9},
      {kFaultBusy, 4, 1, 1},
      {kFaultBusy, 5, -9, -9},
  };
  for (const auto& c : aCases) {
    SCOPED_TRACE(std::to_string(c.nCall) + " x" + std::to_string(c.nTimes));
    FolderIni ini;
    PlatSetFault(c.nCall, "Folder.ini", 0, c.nTimes);
    EXPECT_EQ(ReadFolderIni(dir.Path(), ini), c.nRead);
    EXPECT_EQ(ini.bExists, c.nRead == 1);
    PlatResetFaults(false);
    PlatSetFault(c.nCall, "Folder.ini", 0, c.nTimes);
    std::string strValue = "old";
    EXPECT_EQ(Read(kKeyUserNameList, strValue), c.nGet);
    EXPECT_EQ(strValue, c.nGet == 1 ? "alice," : "old");
    PlatResetFaults(false);
  }
  FolderIni ini;
  EXPECT_EQ(ReadFolderIni(dir.Path("none"), ini), 0);
  EXPECT_FALSE(ini.bExists);
  EXPECT_EQ(ReadFolderIni("", ini), -9);
}

// User.ini is read once while it stays as it was, and again once it changes.
TEST_F(IniAccessTest, RegisteredUsersAreReadAgainOnlyAfterAChange) {
  const std::string strUserIni = dir.Path("User.ini");
  ASSERT_TRUE(TestWriteFile(strUserIni, CrLf({"[UserInfo]", "UserList=a,b"})));
  const UserListIndex* pUsers = nullptr;
  ASSERT_EQ(GetRegisteredUsers(dir.Path(), pUsers), 1);
  EXPECT_EQ(pUsers->strList, "a,b,");
  EXPECT_TRUE(IsInUserList(*pUsers, "b"));
  EXPECT_FALSE(IsInUserList(*pUsers, "B"));
  // A read now would fail: the answer kept is given.
  PlatSetFault(kFaultRead, "User.ini", 0, 1);
  EXPECT_EQ(GetRegisteredUsers(dir.Path(), pUsers), 1);
  PlatResetFaults(false);
  ASSERT_TRUE(
      TestWriteFile(strUserIni, CrLf({"[UserInfo]", "UserList=a,b,c,"})));
  ASSERT_EQ(GetRegisteredUsers(dir.Path(), pUsers), 1);
  EXPECT_TRUE(IsInUserList(*pUsers, "c"));
  ASSERT_TRUE(TestWriteFile(strUserIni, CrLf({"[UserInfo]", "UserList="})));
  EXPECT_EQ(GetRegisteredUsers(dir.Path(), pUsers), 0);
}

TEST_F(IniAccessTest, ExistUserAnswersFromTheBytesRead) {
  const std::string strRw = "alice,bob," + kSo + ",";
  ASSERT_TRUE(WriteIni(CrLf({"[ReadUserInfo]", "UserNameList=alice,bob," + kSo,
                             "ReadOnlyUserList=joanna,annie,"})));
  FolderIni ini = Loaded();
  // Later changes on disk are not looked at.
  ASSERT_TRUE(WriteIni(""));
  struct {
    int nKey, nExpected;
    std::string strUser, strCopied;
  } aCases[] = {
      {kKeyUserNameList, 1, "Bob", strRw},
      {kKeyUserNameList, 1, kSo, strRw},
      {kKeyReadOnlyUserList, 0, "ann", "joanna,annie,"},
      {kKeyReadOnlyUserList, 1, "ANNIE", "joanna,annie,"},
      {kKeyNameList, -1, "alice", "old"},
      {kKeyUserList, -1, "alice", "old"},
      {kKeyUserNameList, -1, "", "old"},
  };
  for (const auto& c : aCases) {
    std::string strValue = "old";
    EXPECT_EQ(existUser(ini, c.nKey, c.strUser, strValue, 0), c.nExpected);
    EXPECT_EQ(strValue, "old");
    EXPECT_EQ(existUser(ini, c.nKey, c.strUser, strValue, 1), c.nExpected);
    EXPECT_EQ(strValue, c.strCopied) << c.strUser;
  }
  std::string strValue = "old";
  EXPECT_EQ(
      existUser(Loaded(dir.Path("none")), kKeyUserNameList, "bob", strValue, 1),
      0);
  EXPECT_EQ(strValue, "");
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
  const std::pair<std::string, int> aCases[] = {
      {CrLf({"[A]", "[ReadUserInfo]"}), 1},
      {CrLf({"  [readUSERinfo]  "}), 1},
      {CrLf({"[A]", "ReadUserInfo", "[ReadUser]"}), 0},
  };
  for (const auto& [strFile, nExpected] : aCases) {
    ASSERT_TRUE(WriteIni(strFile));
    EXPECT_EQ(WriteLists(kIniCheck), nExpected) << strFile;
    EXPECT_EQ(TestReadFile(Ini()), strFile);
    EXPECT_TRUE(NoNewIni());
  }
}

// The reader also ends a line at a lone CR and trims 0x1A around a line, so
// it may take an earlier section for [ReadUserInfo] than the rewrite does.
// A write or delete that it would not read back is refused and changes
// nothing; the write that it reads back goes through.
TEST_F(IniAccessTest, RewriteThatWouldNotReadBackIsRefused) {
  const std::string strCrOnly =
      "[FolderInfo]\rTitle=x\r[ReadUserInfo]\rUserNameList=old,\r";
  const std::string strEof = CrLf(
      {"\x1A[ReadUserInfo]", "UserNameList=old,", "ReadOnlyUserList=old,"});
  const std::string strSpaced = CrLf({"[ ReadUserInfo ]", "UserNameList=old,"});
  const std::string strCrElsewhere = CrLf({"[A]", "a=1\rb=2"});
  const struct {
    std::string strBefore;
    int nMode, nExpected;
  } aCases[] = {
      {strCrOnly, kIniWrite, -6},  {strCrOnly, kIniDelete, -6},
      {strEof, kIniWrite, -6},     {strSpaced, kIniWrite, -6},
      {strSpaced, kIniDelete, -6}, {strCrElsewhere, kIniWrite, 1},
      {strCrOnly, kIniCheck, 0},
  };
  for (const auto& c : aCases) {
    ASSERT_TRUE(WriteIni(c.strBefore));
    EXPECT_EQ(WriteLists(c.nMode), c.nExpected) << c.strBefore << c.nMode;
    if (c.nExpected != 1) {
      EXPECT_EQ(TestReadFile(Ini()), c.strBefore);
      EXPECT_TRUE(NoNewIni());
      continue;
    }
    std::string strValue;
    EXPECT_EQ(Read(kKeyReadOnlyUserList, strValue), 1);
    EXPECT_EQ(strValue, kHyo + "," + kPo + ",");
  }
}

TEST_F(IniAccessTest, RewriteWithoutFolderIni) {
  EXPECT_EQ(WriteLists(kIniCheck), 0);
  EXPECT_EQ(deleteReadUserInfo(Loaded()), 1);
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
  EXPECT_EQ(WriteAndCheckFolderIni(Loaded(strFolder), "", "", kIniWrite), 1);
  EXPECT_EQ(TestReadFile(strIni),
            CrLf({"", "[ReadUserInfo]", "UserNameList=", "ReadOnlyUserList="}));
}

// The rewrite starts from the bytes that were read, so what the lists were
// taken from is exactly what is rewritten.
TEST_F(IniAccessTest, RewriteStartsFromTheBytesRead) {
  ASSERT_TRUE(WriteIni(CrLf({"[A]", "[ReadUserInfo]", "k=1"})));
  FolderIni ini = Loaded();
  ASSERT_TRUE(WriteIni(CrLf({"[Changed]"})));
  EXPECT_EQ(WriteAndCheckFolderIni(ini, "x,", "y,", kIniWrite), 1);
  EXPECT_EQ(TestReadFile(Ini()),
            CrLf({"[A]", "", "[ReadUserInfo]", "UserNameList=x,",
                  "ReadOnlyUserList=y,"}));
}

int SkipEveryChange(const FolderIni&, const std::string*) {
  return kCommitSkip;
}

// A preview's changes write nothing, and every later read of that
// Folder.ini sees what they would have left: made, made again (the file it
// would have written counts as a regular one), removed. A new commit
// decision forgets them.
TEST_F(IniAccessTest, SkippedChangesAreSeenByTheReadsAfterThem) {
  SetFolderIniCommit(SkipEveryChange);
  const std::string strMade = CrLf({"[ReadUserInfo]", "UserNameList=a,"});
  EXPECT_EQ(PutFolderIni(Loaded(), strMade), 1);
  EXPECT_EQ(Loaded().strData, strMade);
  EXPECT_EQ(WriteLists(kIniWrite), 1);
  EXPECT_EQ(Loaded().strData, kBlock);
  std::string strValue;
  EXPECT_EQ(Read(kKeyUserNameList, strValue), 1);
  EXPECT_EQ(strValue, "admin," + kSo + ",");
  EXPECT_EQ(RemoveFolderIni(Loaded()), 1);
  EXPECT_FALSE(Loaded().bExists);
  EXPECT_EQ(Read(kKeyUserNameList, strValue), -1);
  EXPECT_EQ(PlatGetFileKind(Ini()), kPlatMissing);
  EXPECT_TRUE(NoNewIni());
  ASSERT_TRUE(WriteIni(strMade));
  EXPECT_FALSE(Loaded().bExists);
  SetFolderIniCommit(nullptr);
  EXPECT_EQ(Loaded().strData, strMade);
}

TEST_F(IniAccessTest, BadArgumentsAndBlockedNewFileLeaveFolderIniAlone) {
  const std::string strOld = CrLf({"[A]", "[ReadUserInfo]", "k=1"});
  ASSERT_TRUE(WriteIni(strOld));
  EXPECT_EQ(WriteAndCheckFolderIni(FolderIni(), "", "", kIniWrite), -9);
  EXPECT_EQ(WriteLists(3), -9);
  EXPECT_EQ(WriteLists(-1), -9);
  EXPECT_EQ(deleteReadUserInfo(FolderIni()), -9);
  EXPECT_TRUE(NoNewIni());
  // A folder named Folder.ini.new cannot be removed by the rewrite.
  ASSERT_TRUE(TestMakeDirs(NewIni()));
  EXPECT_EQ(WriteLists(kIniWrite), -2);
  EXPECT_EQ(deleteReadUserInfo(Loaded()), -2);
  EXPECT_EQ(WriteLists(kIniCheck), 1);
  EXPECT_EQ(TestReadFile(Ini()), strOld);
}

TEST_F(IniAccessTest, FailedNewFileOrMoveLeavesFolderIniAlone) {
  const std::string strOld = CrLf({"[A]", "a=" + kSo, "[ReadUserInfo]", "k=1"});
  // Creates to closes go to Folder.ini.new; replaces and copies are matched
  // on their destination, Folder.ini. A refused replace falls back to a copy.
  const std::pair<int, int> aCases[] = {
      {kFaultCreate, -2}, {kFaultWrite, -2},   {kFaultSync, -2},
      {kFaultClose, -2},  {kFaultReplace, -4}, {kFaultRefuse, -4}};
  for (auto [nCall, nExpected] : aCases) {
    ASSERT_TRUE(WriteIni(strOld));
    bool bNewFile = nCall <= kFaultClose;
    PlatSetFault(nCall, bNewFile ? "Folder.ini.new" : "Folder.ini", 0, 100);
    if (nCall == kFaultRefuse) PlatSetFault(kFaultCopy, "Folder.ini", 0, 100);
    EXPECT_EQ(WriteLists(kIniWrite), nExpected) << nCall;
    PlatResetFaults(false);
    EXPECT_EQ(TestReadFile(Ini()), strOld) << nCall;
  }
}

}  // namespace
