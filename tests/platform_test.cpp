// Tests of the platform layer. The same source runs on both builds; where
// the backends differ by design, the test asks PlatPathSeparator().
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
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

// Runs first: every CP932 test below is meaningless under another code page.
// On Windows (Wine) this fails when the ja_JP.UTF-8 locale is missing.
TEST(CodePage, AnsiCodePageIs932) {
  ASSERT_TRUE(PlatIsLeadByte(0x83)) << "the ANSI code page is not 932";
  for (unsigned nByte = 0; nByte < 0x100; ++nByte) {
    bool bLead =
        (nByte >= 0x81 && nByte <= 0x9F) || (nByte >= 0xE0 && nByte <= 0xFC);
    EXPECT_EQ(PlatIsLeadByte(static_cast<unsigned char>(nByte)), bLead)
        << nByte;
  }
}

// lower932.txt records the Windows CRT's _mbctolower under Wine. Windows
// also rewrites the duplicate NEC/IBM codes to their preferred codes there
// (no case change); the POSIX backend keeps them as they are.
TEST(CodePage, LowerCasingMatchesTheWindowsTable) {
  std::map<unsigned, unsigned> mapLower;
  std::istringstream streamTable(TestReadFile(FixturePath("lower932.txt")));
  for (std::string strLine; std::getline(streamTable, strLine);)
    if (!strLine.empty() && strLine[0] != '#')
      mapLower[std::stoul(strLine.substr(0, 4), nullptr, 16)] =
          std::stoul(strLine.substr(5, 4), nullptr, 16);
  ASSERT_GT(mapLower.size(), 400u);
  int nWrong = 0;
  for (unsigned nChar = 0; nChar < 0x10000; ++nChar) {
    // Every character: a byte that is no lead byte, or a lead byte and a
    // trail byte 40-FC other than 7F.
    bool bDouble = nChar > 0xFF;
    unsigned nTrail = nChar & 0xFF;
    if (PlatIsLeadByte(bDouble ? nChar >> 8 : nChar) != bDouble ||
        (bDouble && (nTrail < 0x40 || nTrail == 0x7F || nTrail > 0xFC)))
      continue;
    auto it = mapLower.find(nChar);
    unsigned nExpect = it == mapLower.end() ? nChar : it->second;
    bool bDuplicate = (nChar >= 0x8790 && nChar <= 0x879C) ||
                      (nChar >= 0xED40 && nChar <= 0xEEFC) ||
                      (nChar >= 0xFA54 && nChar <= 0xFA5B);
    if (!IsWindows() && bDuplicate) nExpect = nChar;
    unsigned nLower = PlatLowerChar(nChar);
    if (nLower != nExpect && ++nWrong <= 10)
      ADD_FAILURE() << std::hex << nChar << " -> " << nLower << ", want "
                    << nExpect;
  }
  EXPECT_EQ(nWrong, 0);
}

// Each row was checked against the Windows reader (under Wine).
struct ProfileCase {
  const char *pszFile, *pszSection, *pszKey;  // pszFile under profile/
  const char* pszExpect;                      // also gives the count returned
  const char* pszDefault = "d";
  unsigned nSize = 100;
};
// clang-format off
const ProfileCase kProfileCases[] = {
    {"basic.ini", "Sec", "Key", "value"}, {"basic.ini", "Sec2", "Key", "two"},
    {"basic.ini", "Sec", "Nope", "d"}, {"basic.ini", "Nope", "Key", "d"},
    {"missing.ini", "Sec", "Key", "d"}, {"..", "Sec", "Key", "d"},
    {"basic.ini", "Sec", "Nope", "def", "def  "},
    {"basic.ini", "Sec", "Nope", "def", "\"def\""},
    {"basic.ini", "Sec", "Nope", " def\t", " def\t"},
    {"basic.ini", "Sec", "Nope", "abc", "abcdef", 4},
    {"line_ends.ini", "A", "K1", "one"}, {"line_ends.ini", "A", "K2", "two"},
    {"line_ends.ini", "A", "K3", "three"}, {"line_ends.ini", "B", "K", "b"},
    {"blanks.ini", "Sec", "K e y", "the value"},
    {"blanks.ini", "Sec", "K2", "v2"},
    {"blanks.ini", "Sec", "Wide", "　val　"}, {"blanks.ini", "Sec", "K3", "d"},
    {"blanks.ini", "Sec", "　K3", "x"}, {"quotes.ini", "Sec", "D", "dq"},
    {"quotes.ini", "Sec", "S", "sq"}, {"quotes.ini", "Sec", "M", "\"mixed'"},
    {"quotes.ini", "Sec", "O", "\""}, {"quotes.ini", "Sec", "E", ""},
    {"quotes.ini", "Sec", "I", "a\"b\""}, {"quotes.ini", "Sec", "DD", "\"x\""},
    {"quotes.ini", "Sec", "SP", " sp "}, {"case.ini", "SECTION", "KEY", "v"},
    {"case.ini", "Ａ", "k", "fullwidth"}, {"case.ini", "ａ", "K", "d"},
    {"dup_section.ini", "Sec", "A", "1"}, {"dup_section.ini", "SEC", "B", "d"},
    {"dup_key.ini", "Sec", "K", "first"}, {"dup_key.ini", "Sec", "NV", "d"},
    {"brackets.ini", "a]b", "K", "1"}, {"brackets.ini", "a]b", "K2", "2"},
    {"brackets.ini", "Ind", "K4", "4"}, {"no_equals.ini", "Sec", "Lonely", "d"},
    {"no_equals.ini", "Sec", ";Comment", "c"},
    {"no_equals.ini", "Sec", "Key", "a=b"},
    {"nul_byte.ini", "Sec", "K", "abc"}, {"nul_byte.ini", "Sec", "T", "xy  "},
    {"nul_byte.ini", "Sec", "Q", "q"}, {"nul_byte.ini", "Sec", "N", "v"},
    {"before_section.ini", "", "Top", "before"},
    {"before_section.ini", "Sec", "Top", "d"}, {"empty.ini", "Sec", "K", "d"},
    {"cp932.ini", "表", "ソフト", "ソフト表"}, {"cp932.ini", "表", "X", "1"},
    {"cp932.ini", "\x81\x5d", "X", "d"},
    {"truncate.ini", "Sec", "K", "", "d", 1},
    {"truncate.ini", "Sec", "K", "012345678", "d", 10},
    {"truncate.ini", "Sec", "K", "0123456789", "d", 11},
    {"truncate.ini", "Sec", "J", "あい", "d", 5},
    {"empty_value.ini", "Sec", "K", ""},
    {"empty_value.ini", "Sec", "B", ""},
};
// clang-format on

// The backend (the Windows reader, or the portable one on POSIX) and the
// portable reader on the same bytes give the count, the bytes and the NUL.
TEST(Profile, FixturesReadAsTheWindowsReaderDoes) {
  for (const ProfileCase& row : kProfileCases) {
    std::string strPath = FixturePath(std::string("profile/") + row.pszFile);
    std::string strData;
    if (PlatReadFile(strPath, strData) != 1) strData.clear();
    for (bool bPortable : {false, true}) {
      SCOPED_TRACE(std::string(bPortable ? "portable " : "backend ") +
                   row.pszFile + " [" + row.pszSection + "] " + row.pszKey);
      char szBuf[128];
      std::memset(szBuf, '#', sizeof szBuf - 1);
      szBuf[sizeof szBuf - 1] = '\0';
      unsigned nCount =
          bPortable ? ProfileGetString(strData, row.pszSection, row.pszKey,
                                       row.pszDefault, szBuf, row.nSize)
                    : PlatGetPrivateProfileString(row.pszSection, row.pszKey,
                                                  row.pszDefault, szBuf,
                                                  row.nSize, strPath);
      EXPECT_EQ(nCount, std::strlen(row.pszExpect));
      EXPECT_STREQ(szBuf, row.pszExpect);
    }
  }
}

TEST(PlatformFiles, KindsReadabilityAndBinaryReads) {
  ScratchDir dir;
  const std::string strBytes("a\r\n\x1a\0b\x83\x5c\n", 9);
  ASSERT_TRUE(TestWriteFile(dir.Path("f.ini"), strBytes));
  ASSERT_TRUE(PlatMakeDirectory(dir.Path("d.ini")));
  struct {
    std::string strPath;
    int nKind, nRead;
    bool bReadable;
  } const aCases[] = {
      {dir.Path("f.ini"), kPlatFile, 1, true},
      {dir.Path("d.ini"), kPlatDir, -1, false},
      {dir.Path("none.ini"), kPlatMissing, 0, false},
      {dir.Path("none/x.ini"), kPlatMissing, 0, false},
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

TEST(PlatformFiles, TwoAppendersLandAtTheEnd) {
  ScratchDir dir;
  std::string strPath = dir.Path("log.txt");
  ASSERT_TRUE(TestWriteFile(strPath, "A"));
  PlatFile* pFirst = PlatOpenAppend(strPath);
  PlatFile* pSecond = PlatOpenAppend(strPath);
  ASSERT_TRUE(pFirst != nullptr && pSecond != nullptr);
  EXPECT_TRUE(PlatWrite(pFirst, "1") && PlatWrite(pSecond, "2") &&
              PlatWrite(pFirst, "3") && PlatSync(pFirst));
  EXPECT_TRUE(PlatClose(pFirst));
  EXPECT_TRUE(PlatClose(pSecond));
  EXPECT_EQ(TestReadFile(strPath), "A123");
}

TEST(PlatformFiles, CopyDeleteAndReplace) {
  ScratchDir dir;
  std::string strSrc = dir.Path("Folder.ini.new");
  std::string strDst = dir.Path("Folder.ini");
  std::string strSub = dir.Path("sub");
  ASSERT_TRUE(TestWriteFile(strSrc, "new\r\n"));
  ASSERT_TRUE(TestWriteFile(strDst, "older and longer\r\n"));
  ASSERT_TRUE(PlatMakeDirectory(strSub));
  EXPECT_TRUE(PlatCopyFile(strSrc, strDst));
  EXPECT_EQ(TestReadFile(strDst), "new\r\n");
  EXPECT_EQ(TestReadFile(strSrc), "new\r\n");
  EXPECT_FALSE(PlatCopyFile(strSrc, strSub));
  EXPECT_EQ(PlatGetFileKind(strSub), kPlatDir);
  EXPECT_FALSE(PlatCopyFile(dir.Path("none"), strDst));
  EXPECT_TRUE(PlatDeleteFile(strDst));
  EXPECT_EQ(PlatGetFileKind(strDst), kPlatMissing);
  EXPECT_FALSE(PlatDeleteFile(strDst));
  EXPECT_FALSE(PlatDeleteFile(strSub));
  // A replace onto nothing, then one that keeps the permissions; neither
  // leaves the source, and without a source the replace fails.
  EXPECT_EQ(PlatReplaceFile(strSrc, strDst), kPlatReplaced);
  EXPECT_EQ(TestReadFile(strDst), "new\r\n");
  EXPECT_EQ(PlatGetFileKind(strSrc), kPlatMissing);
  ASSERT_TRUE(TestWriteFile(strSrc, "newer\r\n"));
  fs::permissions(strDst, fs::perms::owner_read | fs::perms::owner_write |
                              fs::perms::group_read);
  fs::perms permsOld = fs::status(strDst).permissions();
  EXPECT_EQ(PlatReplaceFile(strSrc, strDst), kPlatReplaced);
  EXPECT_EQ(TestReadFile(strDst), "newer\r\n");
  EXPECT_EQ(PlatGetFileKind(strSrc), kPlatMissing);
  EXPECT_EQ(fs::status(strDst).permissions(), permsOld);
  EXPECT_EQ(PlatReplaceFile(strSrc, strDst), kPlatReplaceFailed);
  ASSERT_TRUE(TestWriteFile(strSrc, "new\r\n"));
  EXPECT_EQ(PlatReplaceFile(strSrc, strSub), kPlatRefused);
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
    std::string strExe, strVersion, strExpectExe, strExpectVersion;
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
    std::string strExe, strVersion;
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
  EXPECT_TRUE(!IsWindows() || nResult == kPlatAdmin) << "Wine is administrator";
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

}  // namespace
