// Tests of the platform layer. The same source runs on both builds; where
// the backends differ by design, the test asks PlatPathSeparator().
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/profile_reader.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;

bool IsWindows() { return PlatPathSeparator() == '\\'; }

std::string FixturePath(const std::string& strRelative) {
  return TestSourceDir() + PlatPathSeparator() +
         TestNativePath("tests/fixtures/" + strRelative);
}

}  // namespace

// Runs first: every CP932 test below is meaningless under another code page.
// On Windows (Wine) this fails when the ja_JP.UTF-8 locale is missing.
TEST(CodePage, AnsiCodePageIs932) {
  ASSERT_TRUE(PlatIsLeadByte(0x83)) << "the ANSI code page is not 932";
  ASSERT_EQ(PlatLowerChar(0x8260), 0x8281u) << "the ANSI code page is not 932";
  for (unsigned nByte = 0; nByte < 0x100; ++nByte) {
    bool bLead =
        (nByte >= 0x81 && nByte <= 0x9F) || (nByte >= 0xE0 && nByte <= 0xFC);
    EXPECT_EQ(PlatIsLeadByte(static_cast<unsigned char>(nByte)), bLead)
        << nByte;
  }
}

namespace {

std::string LowerTablePath() { return FixturePath("lower932.txt"); }

// Every character of CP932: the single bytes, and each lead byte with
// each trail byte.
std::vector<unsigned> AllCharacters() {
  std::vector<unsigned> vChars;
  for (unsigned nLead = 0; nLead < 0x100; ++nLead) {
    if (!PlatIsLeadByte(static_cast<unsigned char>(nLead))) {
      vChars.push_back(nLead);
      continue;
    }
    for (unsigned nTrail = 0x40; nTrail <= 0xFC; ++nTrail)
      if (nTrail != 0x7F) vChars.push_back(nLead << 8 | nTrail);
  }
  return vChars;
}

// Windows rewrites these duplicate NEC/IBM codes to their preferred codes
// while lower-casing; no case changes there, and the POSIX backend keeps
// them as they are.
bool IsDuplicateRewrite(unsigned nChar) {
  return (nChar >= 0x8790 && nChar <= 0x879C) ||
         (nChar >= 0xED40 && nChar <= 0xEEFC) ||
         (nChar >= 0xFA54 && nChar <= 0xFA5B);
}

}  // namespace

TEST(CodePage, LowerCasingMatchesTheWindowsTable) {
  std::map<unsigned, unsigned> mapLower;
  std::istringstream streamTable(TestReadFile(LowerTablePath()));
  for (std::string strLine; std::getline(streamTable, strLine);)
    if (!strLine.empty() && strLine[0] != '#')
      mapLower[std::stoul(strLine.substr(0, 4), nullptr, 16)] =
          std::stoul(strLine.substr(5, 4), nullptr, 16);
  ASSERT_GT(mapLower.size(), 400u);
  int nWrong = 0;
  for (unsigned nChar : AllCharacters()) {
    auto it = mapLower.find(nChar);
    unsigned nExpect = it == mapLower.end() ? nChar : it->second;
    if (!IsWindows() && IsDuplicateRewrite(nChar)) nExpect = nChar;
    unsigned nLower = PlatLowerChar(nChar);
    if (nLower != nExpect && ++nWrong <= 10)
      ADD_FAILURE() << std::hex << nChar << " -> " << nLower << ", want "
                    << nExpect;
  }
  EXPECT_EQ(nWrong, 0);
}

// Records the Windows backend's lower-casing as the table above. Run on
// the Windows build with --gtest_also_run_disabled_tests
// --gtest_filter=CodePage.DISABLED_WriteLowerTable.
TEST(CodePage, DISABLED_WriteLowerTable) {
  if (!IsWindows()) GTEST_SKIP() << "the table records the Windows CRT";
  std::string strData =
      "# CP932 lower-casing by the Windows CRT (_mbctolower), recorded under "
      "Wine 8.0: one line per character that changes.\n";
  for (unsigned nChar : AllCharacters()) {
    char szLine[16];
    unsigned nLower = PlatLowerChar(nChar);
    std::snprintf(szLine, sizeof szLine, "%04X %04X\n", nChar, nLower);
    if (nLower != nChar) strData += szLine;
  }
  ASSERT_TRUE(TestWriteFile(LowerTablePath(), strData));
}

namespace {

struct ProfileCase {
  const char* pszFile;  // under tests/fixtures/profile
  const char* pszSection;
  const char* pszKey;
  const char* pszDefault;
  unsigned nSize;
  const char* pszExpect;  // also gives the count returned
};

// Each row was checked against the Windows reader (under Wine).
const ProfileCase kProfileCases[] = {
    {"basic.ini", "Sec", "Key", "def", 100, "value"},
    {"basic.ini", "Sec2", "Key", "def", 100, "two"},
    {"basic.ini", "Sec", "Nope", "def", 100, "def"},
    {"basic.ini", "Nope", "Key", "def", 100, "def"},
    {"missing.ini", "Sec", "Key", "def", 100, "def"},
    {"..", "Sec", "Key", "def", 100, "def"},
    {"basic.ini", "Sec", "Nope", "def  ", 100, "def"},
    {"basic.ini", "Sec", "Nope", " def\t", 100, " def\t"},
    {"basic.ini", "Sec", "Nope", "\"def\"", 100, "def"},
    {"basic.ini", "Sec", "Nope", "abcdef", 4, "abc"},
    {"line_ends.ini", "A", "K1", "d", 100, "one"},
    {"line_ends.ini", "A", "K2", "d", 100, "two"},
    {"line_ends.ini", "A", "K3", "d", 100, "three"},
    {"line_ends.ini", "B", "K", "d", 100, "b"},
    {"blanks.ini", "Sec", "K e y", "d", 100, "the value"},
    {"blanks.ini", "Sec", "K2", "d", 100, "v2"},
    {"blanks.ini", "Sec", "Wide", "d", 100, "　val　"},
    {"blanks.ini", "Sec", "K3", "d", 100, "d"},
    {"blanks.ini", "Sec", "　K3", "d", 100, "x"},
    {"quotes.ini", "Sec", "D", "d", 100, "dq"},
    {"quotes.ini", "Sec", "S", "d", 100, "sq"},
    {"quotes.ini", "Sec", "M", "d", 100, "\"mixed'"},
    {"quotes.ini", "Sec", "O", "d", 100, "\""},
    {"quotes.ini", "Sec", "E", "d", 100, ""},
    {"quotes.ini", "Sec", "I", "d", 100, "a\"b\""},
    {"quotes.ini", "Sec", "DD", "d", 100, "\"x\""},
    {"quotes.ini", "Sec", "SP", "d", 100, " sp "},
    {"case.ini", "SECTION", "KEY", "d", 100, "v"},
    {"case.ini", "Ａ", "k", "d", 100, "fullwidth"},
    {"case.ini", "ａ", "K", "d", 100, "d"},
    {"dup_section.ini", "Sec", "A", "d", 100, "1"},
    {"dup_section.ini", "SEC", "B", "d", 100, "d"},
    {"dup_key.ini", "Sec", "K", "d", 100, "first"},
    {"dup_key.ini", "Sec", "NV", "d", 100, "d"},
    {"brackets.ini", "a]b", "K", "d", 100, "1"},
    {"brackets.ini", "a]b", "K2", "d", 100, "2"},
    {"brackets.ini", "c", "K2", "d", 100, "d"},
    {"brackets.ini", "Ind", "K4", "d", 100, "4"},
    {"no_equals.ini", "Sec", "Lonely", "d", 100, "d"},
    {"no_equals.ini", "Sec", ";Comment", "d", 100, "c"},
    {"no_equals.ini", "Sec", "Key", "d", 100, "a=b"},
    {"nul_byte.ini", "Sec", "K", "d", 100, "abc"},
    {"nul_byte.ini", "Sec", "T", "d", 100, "xy  "},
    {"nul_byte.ini", "Sec", "Q", "d", 100, "q"},
    {"nul_byte.ini", "Sec", "N", "d", 100, "v"},
    {"before_section.ini", "", "Top", "d", 100, "before"},
    {"before_section.ini", "Sec", "Top", "d", 100, "d"},
    {"before_section.ini", "Sec", "K", "d", 100, "v"},
    {"cp932.ini", "表", "ソフト", "d", 100, "ソフト表"},
    {"cp932.ini", "表", "X", "d", 100, "1"},
    {"cp932.ini", "\x81\x5d", "X", "d", 100, "d"},
    {"truncate.ini", "Sec", "K", "d", 5, "0123"},
    {"truncate.ini", "Sec", "K", "d", 1, ""},
    {"truncate.ini", "Sec", "K", "d", 10, "012345678"},
    {"truncate.ini", "Sec", "K", "d", 11, "0123456789"},
    {"truncate.ini", "Sec", "J", "d", 5, "あい"},
    {"truncate.ini", "Sec", "J", "d", 7, "あいう"},
    {"empty.ini", "Sec", "K", "d", 100, "d"},
    {"empty_value.ini", "Sec", "K", "d", 100, ""},
    {"empty_value.ini", "Sec", "B", "d", 100, ""},
};

// Checks one answer: the count, the bytes and the NUL behind them.
void ExpectProfileAnswer(const ProfileCase& row, const char* pszVia,
                         unsigned nCount, const char* pBuffer) {
  SCOPED_TRACE(std::string(pszVia) + " " + row.pszFile + " [" + row.pszSection +
               "] " + row.pszKey);
  ASSERT_EQ(nCount, std::strlen(row.pszExpect));
  EXPECT_EQ(std::string(pBuffer, nCount), row.pszExpect);
  EXPECT_EQ(pBuffer[nCount], '\0');
}

}  // namespace

TEST(Profile, FixturesReadThroughTheBackend) {
  for (const ProfileCase& row : kProfileCases) {
    char szBuf[128];
    std::memset(szBuf, '#', sizeof szBuf);
    unsigned nCount = PlatGetPrivateProfileString(
        row.pszSection, row.pszKey, row.pszDefault, szBuf, row.nSize,
        FixturePath(std::string("profile/") + row.pszFile));
    ExpectProfileAnswer(row, "backend", nCount, szBuf);
  }
}

TEST(Profile, FixturesReadByThePortableReader) {
  for (const ProfileCase& row : kProfileCases) {
    std::string strData;
    if (PlatReadFile(FixturePath(std::string("profile/") + row.pszFile),
                     strData) != 1)
      strData.clear();
    char szBuf[128];
    std::memset(szBuf, '#', sizeof szBuf);
    unsigned nCount = ProfileGetString(strData, row.pszSection, row.pszKey,
                                       row.pszDefault, szBuf, row.nSize);
    ExpectProfileAnswer(row, "portable", nCount, szBuf);
  }
}

TEST(PlatformFiles, KindsReadabilityAndBinaryReads) {
  ScratchDir dir;
  const std::string strBytes("a\r\n\x1a\0b\x83\x5c\n", 9);
  ASSERT_TRUE(TestWriteFile(dir.Path("f.ini"), strBytes));
  ASSERT_TRUE(PlatMakeDirectory(dir.Path("d.ini")));
  struct {
    std::string strPath;
    int nKind;
    bool bReadable;
    int nRead;
  } const aCases[] = {
      {dir.Path("f.ini"), kPlatFile, true, 1},
      {dir.Path("d.ini"), kPlatDir, false, -1},
      {dir.Path("none.ini"), kPlatMissing, false, 0},
      {dir.Path("none/x.ini"), kPlatMissing, false, 0},
  };
  for (const auto& row : aCases) {
    SCOPED_TRACE(row.strPath);
    std::string strData = "untouched";
    EXPECT_EQ(PlatGetFileKind(row.strPath), row.nKind);
    EXPECT_EQ(PlatCanOpenForRead(row.strPath), row.bReadable);
    EXPECT_EQ(PlatReadFile(row.strPath, strData), row.nRead);
    EXPECT_EQ(strData, row.nRead == 1 ? strBytes : "untouched");
  }
}

TEST(PlatformFiles, CreateTruncatesAndAppendsLandAtTheEnd) {
  ScratchDir dir;
  std::string strPath = dir.Path("log.txt");
  ASSERT_TRUE(TestWriteFile(strPath, "older and longer"));
  ASSERT_TRUE(TestWriteFile(strPath, "A"));
  EXPECT_EQ(TestReadFile(strPath), "A");
  PlatFile* pFirst = PlatOpenAppend(strPath);
  PlatFile* pSecond = PlatOpenAppend(strPath);
  ASSERT_TRUE(pFirst != nullptr && pSecond != nullptr);
  EXPECT_TRUE(PlatWrite(pFirst, "1") && PlatWrite(pSecond, "2") &&
              PlatWrite(pFirst, "3") && PlatSync(pFirst));
  EXPECT_TRUE(PlatClose(pFirst));
  EXPECT_TRUE(PlatClose(pSecond));
  EXPECT_EQ(TestReadFile(strPath), "A123");
  PlatFile* pNew = PlatOpenAppend(dir.Path("new.txt"));
  ASSERT_NE(pNew, nullptr);
  EXPECT_TRUE(PlatClose(pNew));
  EXPECT_EQ(TestReadFile(dir.Path("new.txt")), "");
}

TEST(PlatformFiles, CopyAndDelete) {
  ScratchDir dir;
  std::string strSrc = dir.Path("a.ini");
  std::string strDst = dir.Path("b.ini");
  ASSERT_TRUE(TestWriteFile(strSrc, "new\r\n"));
  ASSERT_TRUE(TestWriteFile(strDst, "older and longer\r\n"));
  ASSERT_TRUE(PlatMakeDirectory(dir.Path("sub")));
  EXPECT_TRUE(PlatCopyFile(strSrc, strDst));
  EXPECT_EQ(TestReadFile(strDst), "new\r\n");
  EXPECT_EQ(TestReadFile(strSrc), "new\r\n");
  EXPECT_FALSE(PlatCopyFile(strSrc, dir.Path("sub")));
  EXPECT_EQ(PlatGetFileKind(dir.Path("sub")), kPlatDir);
  EXPECT_FALSE(PlatCopyFile(dir.Path("none"), strDst));
  EXPECT_TRUE(PlatDeleteFile(strDst));
  EXPECT_EQ(PlatGetFileKind(strDst), kPlatMissing);
  EXPECT_FALSE(PlatDeleteFile(strDst));
  EXPECT_FALSE(PlatDeleteFile(dir.Path("sub")));
}

TEST(PlatformFiles, ReplaceKeepsPermissionsLeavesNoSourceRefusesFolders) {
  ScratchDir dir;
  std::string strSrc = dir.Path("Folder.ini.new");
  std::string strDst = dir.Path("Folder.ini");
  ASSERT_TRUE(TestWriteFile(strDst, "old\r\n"));
  ASSERT_TRUE(TestWriteFile(strSrc, "new\r\n"));
  fs::permissions(strDst, fs::perms::owner_read | fs::perms::owner_write |
                              fs::perms::group_read);
  fs::perms permsOld = fs::status(strDst).permissions();
  EXPECT_EQ(PlatReplaceFile(strSrc, strDst), kPlatReplaced);
  EXPECT_EQ(TestReadFile(strDst), "new\r\n");
  EXPECT_EQ(PlatGetFileKind(strSrc), kPlatMissing);
  EXPECT_EQ(fs::status(strDst).permissions(), permsOld);
  ASSERT_TRUE(TestWriteFile(strSrc, "first\r\n"));
  EXPECT_EQ(PlatReplaceFile(strSrc, dir.Path("fresh.ini")), kPlatReplaced);
  EXPECT_EQ(TestReadFile(dir.Path("fresh.ini")), "first\r\n");
  EXPECT_EQ(PlatReplaceFile(strSrc, strDst), kPlatReplaceFailed);
  ASSERT_TRUE(TestWriteFile(strSrc, "new\r\n"));
  ASSERT_TRUE(PlatMakeDirectory(dir.Path("sub")));
  EXPECT_EQ(PlatReplaceFile(strSrc, dir.Path("sub")), kPlatRefused);
  EXPECT_EQ(TestReadFile(strSrc), "new\r\n");
}

// A CP932 name reaches the system as the system's own name for it.
TEST(PlatformFiles, Cp932NamesAndTheCurrentDirectory) {
  ScratchDir dir;
  std::string strFolder = dir.Path("日本語");
  ASSERT_TRUE(PlatMakeDirectory(strFolder));
  EXPECT_FALSE(PlatMakeDirectory(strFolder));
  fs::path pathNative = fs::path(dir.strRoot) / fs::u8path(u8"日本語");
  EXPECT_TRUE(fs::is_directory(pathNative));
  std::error_code ec;
  fs::path pathBefore = fs::current_path();
  fs::current_path(pathNative, ec);
  ASSERT_FALSE(ec);
  std::string strCwd;
  bool bRead = PlatGetCurrentDirectory(strCwd);
  fs::current_path(pathBefore);
  ASSERT_TRUE(bRead);
  std::string strName = PlatPathSeparator() + std::string("日本語");
  EXPECT_EQ(strCwd.substr(strCwd.size() - strName.size()), strName) << strCwd;
}

TEST(PlatformRegistry, ReadsTheAppPathsValues) {
  const std::string strLong(259, 'x');
  struct {
    std::string strExe;
    std::string strVersion;
    std::string strExpectExe;
    std::string strExpectVersion;
  } const aCases[] = {
      {"C:\\Program Files\\ソフト\\TenboEnvSet.exe", "V50L50",
       "C:\\Program Files\\ソフト\\TenboEnvSet.exe", "V50L50"},
      {"/opt/a \"q\"/TenboEnvSet.exe", "", "/opt/a \"q\"/TenboEnvSet.exe", ""},
      {strLong, strLong + "v", strLong, ""},
  };
  for (const auto& row : aCases) {
    ASSERT_TRUE(TestSetAppPathsKey(row.strExe, row.strVersion));
    std::string strExe = "stale";
    std::string strVersion = "stale";
    EXPECT_EQ(PlatReadAppPathsKey(strExe, strVersion), 1);
    EXPECT_EQ(strExe, row.strExpectExe);
    EXPECT_EQ(strVersion, row.strExpectVersion);
  }
  TestDeleteAppPathsKey();
  std::string strExe;
  std::string strVersion;
  EXPECT_EQ(PlatReadAppPathsKey(strExe, strVersion), 0);
}

TEST(PlatformRegistry, ParsesTheRegistryExportText) {
  const std::string strKey =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
      "App Paths\\TenboEnvSet.exe]";
  const std::string strOddKey =
      "[hkey_local_machine\\software\\microsoft\\windows\\currentversion\\"
      "app paths\\TENBOENVSET.EXE]";
  struct {
    std::string strText;
    int nResult;
    std::string strExe;
    std::string strVersion;
  } const aCases[] = {
      {"REGEDIT4\r" + strOddKey + "\r@=\"/opt/t\"\r\"Version\"=\"V60\"\r", 1,
       "/opt/t", "V60"},
      {"REGEDIT4\n[Other]\n@=\"/no\"\n" + strKey +
           "\n\"version\"=dword:00000001\n@=\"/opt/t\"\n[Other]\n@=\"/no\"\n",
       1, "/opt/t", ""},
      {"REGEDIT4\r\n[Other]\r\n@=\"/opt/t\"\r\n", 0, "", ""},
      {"Windows Registry Editor Version 5.00\r\n" + strKey + "\r\n@=\"/x\"\r\n",
       0, "", ""},
  };
  for (const auto& row : aCases) {
    if (!TestWriteRegistryExport(row.strText))
      GTEST_SKIP() << "a real registry";
    std::string strExe;
    std::string strVersion;
    EXPECT_EQ(PlatReadAppPathsKey(strExe, strVersion), row.nResult)
        << row.strText;
    EXPECT_EQ(strExe, row.strExe);
    EXPECT_EQ(strVersion, row.strVersion);
  }
  TestDeleteAppPathsKey();
}

TEST(PlatformProcess, SecondSingleInstanceLockIsRefused) {
  EXPECT_EQ(PlatAcquireSingleInstance("RavPlatformTest"), 1);
  EXPECT_EQ(PlatAcquireSingleInstance("RavPlatformTest"), 0);
}

TEST(PlatformProcess, AdministratorCheckAnswers) {
  int nResult = PlatIsAdministrator();
  EXPECT_TRUE(nResult == kPlatAdmin || nResult == kPlatNotAdmin) << nResult;
  if (IsWindows()) {
    EXPECT_EQ(nResult, kPlatAdmin) << "Wine runs as administrator";
  }
}

TEST(PlatformProcess, ArgumentsAndCommandLine) {
  std::string strProg = "prog";
  std::string strSpaced = "a b";
  std::string strJapanese = IsWindows() ? "テスト" : u8"テスト";
  char* argv[] = {&strProg[0], &strSpaced[0], &strJapanese[0]};
  std::vector<std::string> vExpect = {"prog", "a b", "テスト"};
  EXPECT_EQ(PlatGetArguments(3, argv), vExpect);
  std::string strLine = PlatGetCommandLine(3, argv);
  if (IsWindows()) {
    EXPECT_NE(strLine.find("platform_test"), std::string::npos) << strLine;
  } else {
    EXPECT_EQ(strLine, "prog \"a b\" テスト");
  }
  EXPECT_TRUE(PlatWriteConsole(""));
}

TEST(PlatformTime, LocalTimeStamp) {
  std::string strStamp = PlatFormatLocalTime("%Y%m%d%H%M%S");
  ASSERT_EQ(strStamp.size(), 14u);
  EXPECT_EQ(strStamp.find_first_not_of("0123456789"), std::string::npos);
}

namespace {

// Runs the call of kind nCall once on b.txt; true iff it succeeded.
bool RunCall(int nCall, const ScratchDir& dir) {
  std::string strTarget = dir.Path("b.txt");
  if (nCall == kFaultCopy) return PlatCopyFile(dir.Path("a.txt"), strTarget);
  if (nCall == kFaultDelete)
    return TestWriteFile(strTarget, "x") && PlatDeleteFile(strTarget);
  if (nCall == kFaultReplace || nCall == kFaultRefuse)
    return TestWriteFile(dir.Path("n.txt"), "n") &&
           PlatReplaceFile(dir.Path("n.txt"), strTarget) == kPlatReplaced;
  PlatFile* pFile = PlatCreateFile(strTarget);
  if (pFile == nullptr) return false;
  bool bOk = PlatWrite(pFile, "x") && PlatSync(pFile);
  return PlatClose(pFile) && bOk;
}

}  // namespace

TEST(PlatformFaults, EachCallFailsAfterItsSkipsThenRecovers) {
  ScratchDir dir;
  ASSERT_TRUE(TestWriteFile(dir.Path("a.txt"), "a"));
  for (int nCall = 0; nCall < kFaultCount; ++nCall) {
    SCOPED_TRACE(nCall);
    PlatSetFault(nCall, "b.txt", 1, 1);
    EXPECT_TRUE(RunCall(nCall, dir));
    EXPECT_FALSE(RunCall(nCall, dir));
    EXPECT_TRUE(RunCall(nCall, dir));
    PlatSetFault(nCall, "a.txt", 0, 1);
    EXPECT_TRUE(RunCall(nCall, dir));
    PlatResetFaults(true);
  }
}

TEST(PlatformFaults, ReplaceFaultsGiveTheirCodesAndKeepTheSource) {
  ScratchDir dir;
  ASSERT_TRUE(TestWriteFile(dir.Path("Folder.ini.new"), "new"));
  PlatSetFault(kFaultReplace, "Folder.ini", 0, 1);
  PlatSetFault(kFaultRefuse, "Folder.ini", 1, 1);
  EXPECT_EQ(PlatReplaceFile(dir.Path("Folder.ini.new"), dir.Path("Folder.ini")),
            kPlatReplaceFailed);
  EXPECT_EQ(PlatReplaceFile(dir.Path("Folder.ini.new"), dir.Path("Folder.ini")),
            kPlatRefused);
  EXPECT_EQ(TestReadFile(dir.Path("Folder.ini.new")), "new");
  EXPECT_EQ(PlatGetFileKind(dir.Path("Folder.ini")), kPlatMissing);
  PlatResetFaults(true);
}

TEST(PlatformFaults, SleepReturnsAtOnceWhenSwitchedOff) {
  using Clock = std::chrono::steady_clock;
  PlatResetFaults(false);
  Clock::time_point tStart = Clock::now();
  PlatSleep(5000);
  EXPECT_LT(Clock::now() - tStart, std::chrono::seconds(1));
  PlatResetFaults(true);
  tStart = Clock::now();
  PlatSleep(50);
  EXPECT_GE(Clock::now() - tStart, std::chrono::milliseconds(40));
}
