// Tests of the platform layer. The same source runs on both builds; where
// the backends differ by design, the test asks PlatPathSeparator().
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/platform_test_helper.h"
#include "testfs.h"
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

// Both systems map CP932 the same way (ソニー first), the Microsoft table's
// characters included; what is no character becomes U+FFFD.
TEST(CodePage, Utf8OfAnsiText) {
  const std::pair<const char*, const char*> kCases[] = {
      {"\x83\x5C\x83\x6A\x81\x5B", "\xE3\x82\xBD\xE3\x83\x8B\xE3\x83\xBC"},
      {"\\\x81\x60\x81\x7C", "\\\xEF\xBD\x9E\xEF\xBC\x8D"},
      {"\x87\x40\xFA\x40", "\xE2\x91\xA0\xE2\x85\xB0"},
      {"a\x85\x40"
       "b\x81",
       "a\xEF\xBF\xBD"
       "b\xEF\xBF\xBD"},
  };
  for (const auto& test : kCases)
    EXPECT_EQ(PlatAnsiToUtf8(test.first), test.second) << test.first;
}

TEST(PlatformFiles, KindsAndBinaryReads) {
  ScratchDir dir;
  const std::string strBytes("a\r\n\x1a\0b\x83\x5c\n", 9);
  ASSERT_TRUE(TestWriteFile(dir.Path("f.ini"), strBytes));
  ASSERT_TRUE(PlatMakeDirectory(dir.Path("d.ini")));
  struct {
    std::string strPath;
    int nKind, nRead;
  } const aCases[] = {
      {dir.Path("f.ini"), kPlatFile, 1},
      {dir.Path("d.ini"), kPlatDir, -1},
      {dir.Path("none.ini"), kPlatMissing, 0},
      {dir.Path("none/x.ini"), kPlatMissing, 0},
      {dir.Path("f.ini/x.ini"), kPlatMissing, 0},
      // A name the system cannot take (over NAME_MAX, over MAX_PATH) is no
      // missing file but a query that failed.
      {dir.Path(std::string(300, 'n')), kPlatQueryFailed, -1},
  };
  for (const auto& row : aCases) {
    SCOPED_TRACE(row.strPath);
    std::string strData = "untouched";
    EXPECT_EQ(PlatGetFileKind(row.strPath), row.nKind);
    EXPECT_EQ(PlatReadFile(row.strPath, strData), row.nRead);
    EXPECT_EQ(strData, row.nRead == 1 ? strBytes : "untouched");
  }
}

// A result, backup or trace file in a shared folder is appended to, and a
// backup read back, only when it is the account's own and no one else may
// write it; an ordinary read takes any file.
TEST(PlatformFiles, OwnFilesOnlyForAppendsAndOwnReads) {
  ScratchDir dir;
  std::string strFile = dir.Path("backup.dat"), strData;
  ASSERT_TRUE(TestWriteFile(strFile, "x"));
  EXPECT_EQ(PlatReadOwnFile(strFile, strData), kPlatReadOk);
  EXPECT_NE(PlatOpenAppend(strFile), nullptr);
  EXPECT_EQ(PlatReadOwnFile(dir.Path("none"), strData), kPlatReadMissing);
  ASSERT_TRUE(TestLetOthersWrite(strFile));
  EXPECT_EQ(PlatReadOwnFile(strFile, strData), kPlatReadFailed);
  EXPECT_EQ(PlatOpenAppend(strFile), nullptr);
  EXPECT_EQ(PlatReadFile(strFile, strData), kPlatReadOk);
  std::string strOther = dir.Path("other.dat");
  ASSERT_TRUE(TestWriteFile(strOther, "x"));
  if (TestSetOwner(strOther, 65534, 65534)) {  // nobody's, as root can make
    EXPECT_EQ(PlatReadOwnFile(strOther, strData), kPlatReadFailed);
    EXPECT_EQ(PlatOpenAppend(strOther), nullptr);
  }
}

// A failure keeps the call, the path and the system's own code and text.
TEST(PlatformFiles, FailureNamesCallPathAndSystemText) {
  ScratchDir dir;
  std::string strLong = dir.Path(std::string(300, 'n'));
  ASSERT_EQ(PlatGetFileKind(strLong), kPlatQueryFailed);
  std::string strError = PlatLastError();
  EXPECT_NE(strError.find("(" + strLong + "): "), std::string::npos)
      << strError;
  const char* pszWant = IsWindows() ? "error 206, " : "errno 36, ";
  EXPECT_NE(strError.find(pszWant), std::string::npos) << strError;
  EXPECT_GT(strError.size(), strError.find(pszWant) + 12) << "no system text";
  std::string strData;
  ASSERT_EQ(PlatReadFile(dir.Path("none"), strData), kPlatReadMissing);
  EXPECT_EQ(PlatLastError().find(IsWindows() ? "CreateFileA(" : "open("), 0u)
      << PlatLastError();
}

TEST(PlatformFiles, TwoAppendersLandAtTheEnd) {
  ScratchDir dir;
  std::string strPath = dir.Path("log.txt");
  ASSERT_TRUE(TestWriteFile(strPath, "A"));
  PlatFileHandle pFirst = PlatOpenAppend(strPath);
  PlatFileHandle pSecond = PlatOpenAppend(strPath);
  ASSERT_TRUE(pFirst != nullptr && pSecond != nullptr);
  EXPECT_TRUE(PlatWrite(pFirst.get(), "1") && PlatWrite(pSecond.get(), "2") &&
              PlatWrite(pFirst.get(), "3") && PlatSync(pFirst.get()));
  EXPECT_TRUE(PlatClose(pFirst));
  EXPECT_TRUE(PlatClose(pSecond));
  EXPECT_EQ(TestReadFile(strPath), "A123");
}

// However a handle ends, its file is closed: by PlatClose, also when the
// close reports a failure, or by the owner going away unclosed.
TEST(PlatformFiles, EveryEndOfAHandleClosesItsFile) {
  ScratchDir dir;
  std::string strPath = dir.Path("log.txt");
  ASSERT_TRUE(TestWriteFile(strPath, "A"));
  const struct {
    bool bClose, bFault;
  } aEnds[] = {{true, false}, {true, true}, {false, false}};
  for (const auto& end : aEnds) {
    SCOPED_TRACE(end.bClose + 2 * end.bFault);
    if (end.bFault) PlatSetFault(kFaultClose, "log.txt", 0, 1);
    {
      PlatFileHandle pFile = PlatOpenAppend(strPath);
      ASSERT_TRUE(pFile != nullptr);
      EXPECT_TRUE(TestIsOpen(strPath));
      if (end.bClose) {
        EXPECT_NE(PlatClose(pFile), end.bFault);
      }
      EXPECT_EQ(pFile == nullptr, end.bClose);
    }
    EXPECT_FALSE(TestIsOpen(strPath));
  }
  PlatResetFaults(true);
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
  EXPECT_EQ(PlatReplaceFile(strSrc, strSub), kPlatNotRegular);
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

// This 64-bit build reads the 32-bit view's key first: an installer of
// either width is found, and the 32-bit entry wins when both views hold
// one. Wine keeps one App Paths key for both views, so it skips.
TEST(PlatformRegistry, The32BitViewComesFirst) {
  const std::string strX86 = "C:\\x86\\TenboEnvSet.exe";
  const std::string strX64 = "C:\\x64\\TenboEnvSet.exe";
  struct {
    bool b32, bOwn;
    std::string strExpect;
  } const aCases[] = {
      {true, false, strX86}, {false, true, strX64}, {true, true, strX86}};
  for (const auto& row : aCases) {
    TestDeleteAppPathsKey();
    if (row.b32 && !TestSetAppPathsKey(strX86, "V50L50", kTestReg32Bit))
      GTEST_SKIP() << "one App Paths key for both registry views";
    ASSERT_TRUE(!row.bOwn || TestSetAppPathsKey(strX64, "V50L50"));
    std::string strExe, strVersion;
    EXPECT_EQ(PlatReadAppPathsKey(strExe, strVersion), 1);
    EXPECT_EQ(strExe, row.strExpect) << row.b32 << row.bOwn;
  }
  TestDeleteAppPathsKey();
}

// The export's rules are registry_export_test's; here only that a file
// without the key counts as a key that cannot be opened.
TEST(PlatformRegistry, ExportWithoutTheKeyIsNoKey) {
  if (!TestWriteRegistryExport("REGEDIT4\r\n[Other]\r\n@=\"/opt/t\"\r\n"))
    GTEST_SKIP() << "a real registry";
  std::string strExe = "stale";
  std::string strVersion = "stale";
  EXPECT_EQ(PlatReadAppPathsKey(strExe, strVersion), 0);
  EXPECT_EQ(strExe, "stale");
  EXPECT_EQ(strVersion, "stale");
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
  std::string strData;
  if (nCall == kFaultRead || nCall == kFaultBusy)
    return TestWriteFile(strTarget, "x") &&
           PlatReadFile(strTarget, strData) == kPlatReadOk;
  TestRemoveTree(strTarget);  // PlatCreateFile makes only new files
  PlatFileHandle pFile = PlatCreateFile(strTarget);
  if (pFile == nullptr) return false;
  bool bOk = PlatWrite(pFile.get(), "x") && PlatSync(pFile.get());
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

namespace {

// What a test plants at the name "at" that the tool is about to use. Links
// point at target.txt ("target"), at a FIFO, or at absent.txt (missing).
enum Planted {
  kRegular,
  kFolder,
  kFifo,
  kLinkToFile,
  kLinkToFifo,
  kDangling,
  kHardLink,  // "at" is a second name of target.txt
  kNothing,
};

// Plants the kind in the folder; false when the system cannot make it.
// Links are planted on POSIX only: under Wine, CreateSymbolicLinkA reports
// success without making a link.
bool Plant(const ScratchDir& dir, Planted kind) {
  std::string strAt = dir.Path("at");
  bool bPortable = kind == kRegular || kind == kFolder || kind == kNothing;
  if ((IsWindows() && !bPortable) ||
      !TestWriteFile(dir.Path("target.txt"), "target"))
    return false;
  switch (kind) {
    case kRegular:
      return TestWriteFile(strAt, "at");
    case kFolder:
      return PlatMakeDirectory(strAt);
    case kFifo:
      return TestMakeFifo(strAt) == kTestMade;
    case kLinkToFile:
      return TestMakeSymlink(strAt, dir.Path("target.txt")) == kTestMade;
    case kLinkToFifo:
      return TestMakeFifo(dir.Path("fifo")) == kTestMade &&
             TestMakeSymlink(strAt, dir.Path("fifo")) == kTestMade;
    case kDangling:
      return TestMakeSymlink(strAt, dir.Path("absent.txt")) == kTestMade;
    case kHardLink:
      return TestMakeHardLink(strAt, dir.Path("target.txt")) == kTestMade;
    case kNothing:
      return true;
  }
  return false;
}

// The calls that meet the planted file; each gives an int to compare.
enum Use { kIsRegular, kRead, kCreate, kAppend, kCopyFrom, kCopyOnto };

// A file opened for writing counts as 1 once "new" is written and closed.
int Opened(PlatFileHandle pFile) {
  if (pFile == nullptr) return 0;
  bool bWritten = PlatWrite(pFile.get(), "new");
  return PlatClose(pFile) && bWritten ? 1 : -1;
}

int RunUse(Use use, const ScratchDir& dir) {
  std::string strAt = dir.Path("at");
  std::string strData;
  switch (use) {
    case kIsRegular:
      return PlatIsRegularFile(strAt) ? 1 : 0;
    case kRead:
      return PlatReadFile(strAt, strData);
    case kCreate:
      return Opened(PlatCreateFile(strAt));
    case kAppend:
      return Opened(PlatOpenAppend(strAt));
    case kCopyFrom:
      return PlatCopyFile(strAt, dir.Path("copy.txt")) ? 1 : 0;
    case kCopyOnto:
      return TestWriteFile(dir.Path("src.txt"), "new") &&
                     PlatCopyFile(dir.Path("src.txt"), strAt)
                 ? 1
                 : 0;
  }
  return -9;
}

// Nothing is written through a link, nothing waits on a FIFO (a wait would
// hang the test), and a link to a regular file still reads.
TEST(PlatformSpecialFiles, WhatStandsAtThePathDecidesEachCall) {
  const int kOk = kPlatReadOk, kFailed = kPlatReadFailed,
            kMissing = kPlatReadMissing;
  struct {
    Planted kind;
    int aExpect[6];  // by Use
  } const aCases[] = {
      {kRegular, {1, kOk, 0, 1, 1, 1}},
      {kFolder, {0, kFailed, 0, 0, 0, 0}},
      {kFifo, {0, kFailed, 0, 0, 0, 0}},
      {kLinkToFile, {0, kOk, 0, 0, 0, 0}},
      {kLinkToFifo, {0, kFailed, 0, 0, 0, 0}},
      {kDangling, {0, kMissing, 0, 0, 0, 0}},
      {kNothing, {0, kMissing, 1, 1, 0, 1}},
  };
  for (const auto& row : aCases) {
    for (int nUse = kIsRegular; nUse <= kCopyOnto; ++nUse) {
      SCOPED_TRACE("planted " + std::to_string(row.kind) + ", use " +
                   std::to_string(nUse));
      ScratchDir dir;
      if (!Plant(dir, row.kind)) {
        ASSERT_TRUE(IsWindows());
        continue;
      }
      EXPECT_EQ(RunUse(static_cast<Use>(nUse), dir), row.aExpect[nUse]);
      EXPECT_EQ(TestReadFile(dir.Path("target.txt")), "target");
      EXPECT_EQ(PlatGetFileKind(dir.Path("absent.txt")), kPlatMissing);
    }
  }
}

// The replace refuses a link or anything irregular on either side, and a
// source with a second name; neither side changes.
TEST(PlatformSpecialFiles, ReplaceTakesOnlyRegularFiles) {
  struct {
    bool bAtIsSource;
    Planted kind;
    int nExpect;
  } const aCases[] = {
      {false, kRegular, kPlatReplaced},
      {false, kNothing, kPlatReplaced},
      {false, kFolder, kPlatNotRegular},
      {false, kFifo, kPlatNotRegular},
      {false, kLinkToFile, kPlatNotRegular},
      {false, kDangling, kPlatNotRegular},
      {true, kRegular, kPlatReplaced},
      {true, kNothing, kPlatReplaceFailed},
      {true, kFifo, kPlatNotRegular},
      {true, kLinkToFile, kPlatNotRegular},
      {true, kHardLink, kPlatNotRegular},
  };
  for (const auto& row : aCases) {
    SCOPED_TRACE(std::string(row.bAtIsSource ? "source " : "target ") +
                 std::to_string(row.kind));
    ScratchDir dir;
    if (!Plant(dir, row.kind)) {
      ASSERT_TRUE(IsWindows());
      continue;
    }
    std::string strOther = dir.Path(row.bAtIsSource ? "old.ini" : "new.ini");
    ASSERT_TRUE(TestWriteFile(strOther, "other"));
    std::string strAt = dir.Path("at");
    EXPECT_EQ(row.bAtIsSource ? PlatReplaceFile(strAt, strOther)
                              : PlatReplaceFile(strOther, strAt),
              row.nExpect);
    EXPECT_EQ(TestReadFile(dir.Path("target.txt")), "target");
    EXPECT_EQ(PlatGetFileKind(dir.Path("absent.txt")), kPlatMissing);
    if (row.nExpect != kPlatReplaced) {
      EXPECT_EQ(TestReadFile(strOther), "other");
    }
  }
}

// Folder.ini keeps everything that getfacl and getfattr show, through a
// replace by a file made with other owner, mode and attributes.
TEST(PlatformSpecialFiles, ReplaceKeepsOwnerModeAclAndAttributes) {
  const std::string kBinary("\x01\0v", 3);
  struct {
    bool bOwner, bAcl, bFolderDefaultAcl, bStaleXattr;
    fs::perms perms;
  } const aCases[] = {
      {true, true, false, false,
       fs::perms::owner_read | fs::perms::owner_write},
      {false, false, true, true, fs::perms::owner_read},
      {true, false, false, true,
       fs::perms::owner_all | fs::perms::set_gid | fs::perms::others_read},
  };
  for (const auto& row : aCases) {
    ScratchDir dir;
    std::string strDst = dir.Path("Folder.ini");
    std::string strSrc = dir.Path("Folder.ini.new");
    ASSERT_TRUE(TestWriteFile(strDst, "old"));
    if (!TestSetXattr(strDst, "user.rav", kBinary))
      GTEST_SKIP() << "no extended attributes here";
    if (row.bOwner && !TestSetOwner(strDst, 1234, 5678))
      GTEST_SKIP() << "giving a file away needs root";
    fs::permissions(strDst, row.perms);
    ASSERT_TRUE(!row.bAcl || TestSetAcl(strDst, false, 4321));
    ASSERT_TRUE(!row.bFolderDefaultAcl || TestSetAcl(dir.strRoot, true, 4321));
    ASSERT_TRUE(TestWriteFile(strSrc, "new"));
    ASSERT_TRUE(!row.bStaleXattr || TestSetXattr(strSrc, "user.stale", "s"));
    std::string strBefore = TestDescribeFile(strDst);
    EXPECT_EQ(PlatReplaceFile(strSrc, strDst), kPlatReplaced);
    EXPECT_EQ(TestReadFile(strDst), "new");
    EXPECT_EQ(TestDescribeFile(strDst), strBefore);
  }
}

TEST(PlatformSpecialFiles, ReadFaultsGiveTheirCodes) {
  ScratchDir dir;
  std::string strPath = dir.Path("Folder.ini");
  ASSERT_TRUE(TestWriteFile(strPath, "x"));
  for (int nCall : {kFaultRead, kFaultBusy}) {
    PlatSetFault(nCall, "Folder.ini", 0, 1);
    std::string strData = "untouched";
    EXPECT_EQ(PlatReadFile(strPath, strData),
              nCall == kFaultRead ? kPlatReadFailed : kPlatReadBusy);
    EXPECT_EQ(strData, "untouched");
    EXPECT_EQ(PlatReadFile(strPath, strData), kPlatReadOk);
    PlatResetFaults(true);
  }
}

// A character the console charset lacks becomes "?"; the rest of the line
// still converts (the locale's charset is UTF-8 here).
TEST(PlatformProcess, ConsoleConvertsCharacterByCharacter) {
  struct {
    std::string strCp932, strExpect;
  } const aCases[] = {
      {"abc\n", "abc\n"},
      {"Aテスト", u8"Aテスト"},
      {"A\x85\x40"
       "B",
       "A?B"},
      {"あ\x85\x40い", u8"あ?い"},
      {"\x81\n", "?"},  // a lead byte takes the byte after it, whatever it is
      {"x\x82", "x?"},
  };
  for (const auto& row : aCases) {
    std::string strOut;
    if (!TestCaptureConsole(row.strCp932, strOut))
      GTEST_SKIP() << "standard output cannot be redirected here";
    EXPECT_EQ(strOut, row.strExpect) << row.strExpect;
  }
}

}  // namespace

namespace {

// A file that another holder keeps open without sharing is busy, not missing
// or failed, and still counts as a regular file (the kind questions must not
// meet the sharing); it reads again once released.
TEST(PlatformSharing, HeldFileIsBusyUntilReleased) {
  ScratchDir dir;
  std::string strPath = dir.Path("Folder.ini");
  ASSERT_TRUE(TestWriteFile(strPath, "old"));
  if (!TestHoldFile(strPath, 20000)) GTEST_SKIP() << "files cannot be held";
  std::string strData = "untouched";
  EXPECT_EQ(PlatReadFile(strPath, strData), kPlatReadBusy);
  EXPECT_EQ(strData, "untouched");
  EXPECT_TRUE(PlatIsRegularFile(strPath));
  EXPECT_EQ(PlatGetFileKind(strPath), kPlatFile);
  TestReleaseHeldFiles();
  EXPECT_EQ(PlatReadFile(strPath, strData), kPlatReadOk);
  EXPECT_EQ(strData, "old");
}

TEST(PlatformSharing, CreateLeavesAnExistingFileAlone) {
  ScratchDir dir;
  std::string strPath = dir.Path("Folder.ini.new");
  ASSERT_TRUE(TestWriteFile(strPath, "left over"));
  EXPECT_EQ(PlatCreateFile(strPath), nullptr);
  EXPECT_EQ(TestReadFile(strPath), "left over");
}

// The NUL device, in any folder, has the attributes of a file; only its
// handle tells it is none, and every call refuses it.
TEST(PlatformSharing, TheNulDeviceIsNoFile) {
  if (!IsWindows()) GTEST_SKIP() << "no DOS device names";
  ScratchDir dir;
  std::string strFile = dir.Path("Folder.ini");
  std::string strDevice = dir.Path("NUL");
  ASSERT_TRUE(TestWriteFile(strFile, "old"));
  std::string strData = "untouched";
  EXPECT_FALSE(PlatIsRegularFile(strDevice));
  EXPECT_EQ(PlatReadFile(strDevice, strData), kPlatReadFailed);
  EXPECT_EQ(strData, "untouched");
  EXPECT_EQ(PlatOpenAppend(strDevice), nullptr);
  EXPECT_FALSE(PlatCopyFile(strDevice, strFile));
  EXPECT_FALSE(PlatCopyFile(strFile, strDevice));
  EXPECT_EQ(PlatReplaceFile(strFile, strDevice), kPlatNotRegular);
  EXPECT_EQ(TestReadFile(strFile), "old");
}

// An existing Folder.ini is replaced by ReplaceFileA, which keeps the old
// file's security and attributes and needs write access to it: a read-only
// one fails the replace (a move would have replaced it under Wine) and both
// files stay as they were; a copy over it could not do better.
TEST(PlatformSharing, ReplaceOfAnExistingFileKeepsToTheOldFile) {
  if (!IsWindows()) GTEST_SKIP() << "rename replaces a read-only file";
  ScratchDir dir;
  std::string strDst = dir.Path("Folder.ini");
  std::string strSrc = dir.Path("Folder.ini.new");
  ASSERT_TRUE(TestWriteFile(strDst, "old") && TestWriteFile(strSrc, "new"));
  fs::permissions(strDst, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(PlatReplaceFile(strSrc, strDst), kPlatReplaceFailed);
  EXPECT_EQ(TestReadFile(strDst), "old");
  EXPECT_EQ(TestReadFile(strSrc), "new");
  EXPECT_EQ(fs::status(strDst).permissions() & fs::perms::owner_write,
            fs::perms::none);
}

}  // namespace
