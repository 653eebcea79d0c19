// End-to-end runner: each golden case under tests/golden builds a real
// installation in a scratch folder, runs the built tool once and checks
// its exit code, console text, result file and every entry of the scratch
// folder.
//
// A case file is UTF-8 text made of directives, each on a line that starts
// with "== ", and the block of lines below it:
//   == args A B ...        the arguments ("" is an empty argument)
//   == registry EXE VER [expand]  the App Paths values (EXE relative to
//                          the scratch folder, "-" for empty; one with
//                          {ROOT} or a % as written, {ROOT} filled in and
//                          "/" the platform's separator); "none" removes
//                          the key; "expand" stores EXE as REG_EXPAND_SZ
//                          (Windows)
//   == file PATH           a file with the block's lines, CR LF ended
//   == dir PATH            an empty folder
//   == remove PATH         removes a file the default installation made
//   == symlink PATH TARGET a symbolic link holding TARGET as written (a
//                          relative TARGET counts from the link's folder)
//   == hardlink PATH FILE  a second name of FILE
//   == others-write PATH   an empty file that every account may write (as
//                          one planted in a shared folder); {TS} as fifo
//   == fifo PATH           a FIFO; a PATH with {TS} makes one for each
//                          second of the next 10, so that a name made of
//                          the run's timestamp is taken
//   == env NAME=VALUE      an environment variable of the tool
//   == fault RULES         loads the fault shim (tests/faultshim) into the
//                          tool with the RULES (each further one adds
//                          its rules)
//   == fsizelimit BYTES    the largest file the tool may write; +N: N
//                          bytes more than the header of the expected
//                          result file (its first four lines)
//   == hold PATH MS [HOW]  holds PATH open for MS milliseconds while the
//                          tool runs (Windows): shared with nobody, or
//                          HOW "rw": shared for reading and writing but not
//                          deleting, "lock": shared wholly, every byte
//                          locked
//   == identity PATH new|same  PATH must be another file after the run
//                          (it was replaced), or the same one (written in
//                          place)
//   == only windows|posix  the case runs on that platform alone
//   == chmod PATH MODE     PATH has the octal MODE during the case's own
//                          run, and its old mode after it (POSIX)
//   == as-admin            the tool runs as an administrator that is no
//                          root (POSIX, when the tests run as root): a
//                          member of the group sudo, which owns the scratch
//                          folder
//   == exit N              the expected exit code
//   == console             the expected console text
//   == result              the expected result file (none: no file)
//   == csv                 the expected report<TS>.csv (without it none may
//                          be written)
//   == page                report<TS>.html must be written, holding each
//                          line of the block as it is (UTF-8; {DATA} as
//                          the page's JSON writes it); without it none may
//                          be written
//   == expect PATH         the expected bytes of PATH after the run
//                          ("<missing>": PATH must not exist; "<any>":
//                          PATH may be anything, or nothing)
//   == trace               a trace log must be written (else none may be),
//                          holding each line of the block ({DATA} filled)
//   == include NAME        reads the directives of another golden file
//   == first A B ...       a run of the tool before the case's own, in a
//                          second of its own (repeatable, in order); the
//                          n-th one's timestamp is {RUNn} in later args
//   == then-file PATH      a file written after the first runs
//   == then-append PATH [FROM]
//                          appends to PATH (made when missing) after the
//                          first runs and the then-files, in order, the
//                          bytes of the file FROM, or else the block
// PATH is relative to the scratch folder, which holds inst/ (the program
// folder), data/ (the data folder) and cwd/ (the tool's current folder);
// in those of then-append, {RUNn} is filled in.
// {PADn} anywhere stands for as many "p" as make the scratch folder's path
// and it n bytes long, for paths of an exact length.
// In blocks, {DATA} is the data folder, {NUL} a zero byte, {CMDLINE} the
// tool's command line, {TS} the run's timestamp and {TIME} any
// "YYYY/MM/DD hh:mm:ss" time; in env and args, {DATA} and {ROOT} (the
// scratch folder) are filled in.
// Every entry of the scratch folder but the run's result and trace files
// must be the same after the run (kind, bytes, link target, permissions),
// unless "expect" names it. A case whose directive this platform cannot
// carry out (a FIFO or the fault shim on Windows, a held file on POSIX, an
// administrator other than root where the tests do not run as root) is
// skipped; a run that hangs is killed after 30 seconds and fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "commonproc.h"
#include "platform/platform.h"
#include "testfs.h"
#include "testrun.h"
#include "testutil.h"

namespace {

// A link, a FIFO, a held file or a mode that the set-up makes after the
// files.
struct Node {
  std::string strKind, strPath, strTarget, strHow;
};

// Bytes appended to a file after the first runs: those of strFrom, or else
// the block.
struct Append {
  std::string strPath, strFrom, strBlock;
};

struct Case {
  std::vector<std::string> vArgs;
  std::string strExe = "inst/TenboEnvSet.exe";
  std::string strVersion = "V50L50";
  bool bRegistry = true;
  bool bExpand = false;
  int nExit = 1;
  std::string strConsole;
  bool bResult = false;
  std::string strResult;
  std::map<std::string, std::string> mFiles;  // a later one replaces
  std::vector<std::string> vDirs, vRemoved;
  std::vector<Node> vNodes;
  std::vector<std::string> vEnv;
  std::string strFault;
  std::string strFileSizeLimit;
  bool bAsAdmin = false;
  std::map<std::string, std::string> mExpect;
  bool bTrace = false;
  std::string strTrace;
  bool bCsv = false, bPage = false;
  std::string strCsv, strPage;
  std::vector<std::vector<std::string>> vFirstRuns;
  std::map<std::string, std::string> mThenFiles;
  std::vector<Append> vThenAppends;
  std::map<std::string, bool> mNewIdentity;  // by path: replaced or not
  std::string strOnly;
  size_t nRootLength = 0;  // of the scratch folder's path, for {PADn}
};

void ParseInto(Case& c, const std::string& strText);

std::string GoldenFile(const std::string& strName) {
  return TestReadFile(JoinPath(
      JoinPath(TestSourceDir(), TestNativePath("tests/golden")), strName));
}

std::vector<std::string> Words(const std::string& strText) {
  std::vector<std::string> vWords;
  std::istringstream in(strText);
  std::string strWord;
  while (in >> strWord) vWords.push_back(strWord == "\"\"" ? "" : strWord);
  return vWords;
}

// Applies a directive that makes something of the file system or the
// process environment.
void ApplySetUp(Case& c, const std::vector<std::string>& vWords) {
  const std::string& strVerb = vWords[0];
  std::string strArg = vWords.size() > 1 ? vWords[1] : "";
  std::string strArg2 = vWords.size() > 2 ? vWords[2] : "";
  std::string strArg3 = vWords.size() > 3 ? vWords[3] : "";
  if (strVerb == "symlink" || strVerb == "hardlink" || strVerb == "fifo" ||
      strVerb == "others-write" || strVerb == "hold" || strVerb == "chmod")
    c.vNodes.push_back({strVerb, strArg, strArg2, strArg3});
  if (strVerb == "identity") c.mNewIdentity[strArg] = strArg2 == "new";
  if (strVerb == "only") c.strOnly = strArg;
  if (strVerb == "as-admin") c.bAsAdmin = true;
  if (strVerb == "env") c.vEnv.push_back(strArg);
  if (strVerb == "fault")
    c.strFault += (c.strFault.empty() ? "" : ";") + strArg;
  if (strVerb == "fsizelimit") c.strFileSizeLimit = strArg;
}

// Applies one directive with its block to the case.
void Apply(Case& c, const std::string& strDirective,
           const std::string& strBlock) {
  std::vector<std::string> vWords = Words(strDirective);
  if (vWords.empty()) return;
  std::string strVerb = vWords[0];
  std::string strArg = vWords.size() > 1 ? vWords[1] : "";
  if (strVerb == "args") c.vArgs.assign(vWords.begin() + 1, vWords.end());
  if (strVerb == "first")
    c.vFirstRuns.emplace_back(vWords.begin() + 1, vWords.end());
  if (strVerb == "then-file") c.mThenFiles[strArg] = strBlock;
  if (strVerb == "then-append")
    c.vThenAppends.push_back(
        {strArg, vWords.size() > 2 ? vWords[2] : "", strBlock});
  if (strVerb == "registry") {
    c.bRegistry = strArg != "none";
    c.strExe = strArg == "-" ? "" : strArg;
    if (vWords.size() > 2) c.strVersion = vWords[2] == "-" ? "" : vWords[2];
    c.bExpand = vWords.size() > 3 && vWords[3] == "expand";
  }
  if (strVerb == "file") c.mFiles[strArg] = strBlock;
  if (strVerb == "dir") c.vDirs.push_back(strArg);
  if (strVerb == "remove") c.vRemoved.push_back(strArg);
  if (strVerb == "exit") c.nExit = std::stoi(strArg);
  if (strVerb == "console") c.strConsole = strBlock;
  if (strVerb == "result") c.strResult = strBlock, c.bResult = true;
  if (strVerb == "expect") c.mExpect[strArg] = strBlock;
  if (strVerb == "trace") c.bTrace = true, c.strTrace = strBlock;
  if (strVerb == "csv") c.bCsv = true, c.strCsv = strBlock;
  if (strVerb == "page") c.bPage = true, c.strPage = strBlock;
  if (strVerb == "include") ParseInto(c, GoldenFile(strArg));
  ApplySetUp(c, vWords);
}

// Fills in every {PADn} of the case text.
std::string Padded(const std::string& strText, size_t nRootLength) {
  static const std::regex kPad("\\{PAD([0-9]+)\\}");
  std::string strOut;
  std::sregex_iterator it(strText.begin(), strText.end(), kPad), itEnd;
  size_t nDone = 0;
  for (; it != itEnd; ++it) {
    size_t nWant = std::stoul((*it)[1].str());
    strOut += strText.substr(nDone, it->position() - nDone);
    strOut += std::string(nWant > nRootLength ? nWant - nRootLength : 0, 'p');
    nDone = it->position() + it->length();
  }
  return strOut + strText.substr(nDone);
}

// Parses a case file: directive lines become CP932 at once, blocks keep
// their UTF-8 text with LF ends until they are written or compared.
void ParseInto(Case& c, const std::string& strText) {
  std::istringstream in(Padded(strText, c.nRootLength));
  std::string strLine, strDirective, strBlock;
  bool bOpen = false;
  while (std::getline(in, strLine)) {
    if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
    if (strLine.rfind("== ", 0) == 0) {
      if (bOpen) Apply(c, strDirective, strBlock);
      strDirective = TestUtf8ToCp932(strLine.substr(3));
      strBlock.clear(), bOpen = true;
    } else if (bOpen) {
      strBlock += strLine + "\n";
    }
  }
  if (bOpen) Apply(c, strDirective, strBlock);
}

std::string Replace(std::string strText, const std::string& strFrom,
                    const std::string& strTo) {
  for (size_t nPos = strText.find(strFrom); nPos != std::string::npos;
       nPos = strText.find(strFrom, nPos + strTo.size()))
    strText.replace(nPos, strFrom.size(), strTo);
  return strText;
}

// Returns a block as the tool's CP932 bytes with CR LF ends and {DATA} and
// {NUL} filled in.
std::string Bytes(const std::string& strBlock, const std::string& strData) {
  return Replace(Replace(TestUtf8ToCp932(Replace(strBlock, "\n", "\r\n")),
                         "{DATA}", strData),
                 "{NUL}", std::string(1, '\0'));
}

std::string FillPaths(const std::string& strText, const ScratchDir& dir) {
  return Replace(Replace(strText, "{DATA}", dir.Path("data")), "{ROOT}",
                 dir.Path());
}

// The timestamps the tool may give its files during the next seconds.
std::vector<std::string> ComingStamps() {
  std::vector<std::string> vStamps;
  std::time_t tNow = std::time(nullptr);
  for (int nSecond = 0; nSecond < 10; ++nSecond) {
    std::time_t t = tNow + nSecond;
    char szBuf[32];
    const std::tm* pTm = std::localtime(&t);
    if (pTm != nullptr &&
        std::strftime(szBuf, sizeof szBuf, "%Y%m%d%H%M%S", pTm) == 14)
      vStamps.push_back(szBuf);
  }
  return vStamps;
}

int MakeNode(const Node& node, const ScratchDir& dir) {
  if (node.strKind == "symlink")
    return TestMakeSymlink(dir.Path(node.strPath), node.strTarget);
  if (node.strKind == "hardlink")
    return TestMakeHardLink(dir.Path(node.strPath), dir.Path(node.strTarget));
  int nMade = kTestMade;
  for (const std::string& strStamp : ComingStamps()) {
    std::string strPath = dir.Path(Replace(node.strPath, "{TS}", strStamp));
    if (nMade == kTestMade && node.strKind == "fifo")
      nMade = TestMakeFifo(strPath);
    if (nMade == kTestMade && node.strKind == "others-write")
      nMade = TestWriteFile(strPath, "") && TestLetOthersWrite(strPath)
                  ? kTestMade
                  : kTestMakeFailed;
    if (node.strPath.find("{TS}") == std::string::npos) break;
  }
  return nMade;
}

// Makes the case's links and FIFOs; gives the reason when this platform
// cannot, so that the case is skipped.
void MakeNodes(const Case& c, const ScratchDir& dir, std::string& strSkip) {
  for (const Node& node : c.vNodes) {
    if (node.strKind == "hold" || node.strKind == "chmod") continue;
    int nMade = MakeNode(node, dir);
    ASSERT_NE(nMade, kTestMakeFailed) << node.strKind << " " << node.strPath;
    if (nMade == kTestUnsupported) {
      strSkip = "this platform cannot make a " + node.strKind;
      return;
    }
  }
}

// The registry's program path: relative to the scratch folder, or as
// written with {ROOT} filled in.
std::string RegistryExe(const Case& c, const ScratchDir& dir) {
  if (c.strExe.empty()) return "";
  if (c.strExe.find_first_of("{%") == std::string::npos)
    return dir.Path(c.strExe);
  std::string strExe = FillPaths(c.strExe, dir);
  for (char& ch : strExe)
    if (ch == '/') ch = PlatPathSeparator();
  return strExe;
}

// Makes the account of "as-admin" the owner of the scratch folder and of
// everything in it, as an administrator's store and current folder are.
void GiveToAdmin(const ScratchDir& dir) {
  unsigned nUid = 0, nGid = 0;
  ASSERT_TRUE(TestAdminAccount(nUid, nGid));
  ASSERT_TRUE(TestSetOwner(dir.Path(), nUid, nGid));
  for (const auto& entry : TestSnapshot(dir.Path()))
    ASSERT_TRUE(TestSetOwner(dir.Path(entry.first), nUid, nGid)) << entry.first;
}

void SetUpStore(const Case& c, const ScratchDir& dir, std::string& strSkip) {
  const std::string strData = dir.Path("data");
  ASSERT_TRUE(TestWriteFile(dir.Path("inst/TenboEnvSet.exe"), ""));
  ASSERT_TRUE(TestWriteFile(dir.Path("inst/Tenbo2Lib.ini"),
                            CrLf({"[Common]", "DataFolder=" + strData})));
  ASSERT_TRUE(TestMakeDirs(dir.Path("cwd")));
  ASSERT_TRUE(TestMakeDirs(strData));
  for (const auto& file : c.mFiles)
    ASSERT_TRUE(
        TestWriteFile(dir.Path(file.first), Bytes(file.second, strData)));
  for (const std::string& strPath : c.vRemoved)
    ASSERT_TRUE(PlatDeleteFile(dir.Path(strPath)));
  for (const std::string& strDir : c.vDirs)
    ASSERT_TRUE(TestMakeDirs(dir.Path(strDir)));
  MakeNodes(c, dir, strSkip);
  TestDeleteAppPathsKey();
  int nForm = c.bExpand ? kTestRegExpand : kTestRegPlain;
  if (c.bRegistry &&
      !TestSetAppPathsKey(RegistryExe(c, dir), c.strVersion, nForm)) {
    ASSERT_TRUE(c.bExpand) << "the registry cannot be set";
    strSkip = "no REG_EXPAND_SZ on this platform";
  }
  if (c.bAsAdmin) GiveToAdmin(dir);
}

// The paths that "chmod" changed, with their old modes.
using OldModes = std::vector<std::pair<std::string, unsigned>>;

// Gives strPath the octal mode strMode; vOld gets the old one.
void SetMode(const std::string& strPath, const std::string& strMode,
             OldModes& vOld, std::string& strSkip) {
  unsigned nOld = TestReadEntry(strPath).nMode;
  int nSet = TestSetMode(strPath, std::stoul(strMode, nullptr, 8));
  if (nSet == kTestUnsupported) {
    strSkip = "no file modes on this platform";
    return;
  }
  EXPECT_EQ(nSet, kTestMade) << "chmod " << strPath;
  vOld.emplace_back(strPath, nOld);
}

// Starts what lasts only while the tool runs: holds the files that "hold"
// names and gives the paths that "chmod" names their modes (vOld gets the
// old ones). Gives the reason when this platform cannot, so that the case
// is skipped.
void StartRunState(const Case& c, const ScratchDir& dir, OldModes& vOld,
                   std::string& strSkip) {
  for (const Node& node : c.vNodes) {
    std::string strPath = dir.Path(node.strPath);
    int nHow = node.strHow == "rw"     ? kTestHoldReadWrite
               : node.strHow == "lock" ? kTestHoldLock
                                       : kTestHoldAlone;
    if (node.strKind == "hold" &&
        !TestHoldFile(strPath, std::stoi(node.strTarget), nHow))
      strSkip = "cannot hold " + node.strPath + " open on this platform";
    if (node.strKind == "chmod")
      SetMode(strPath, node.strTarget, vOld, strSkip);
  }
}

// Ends it: releases the held files and puts the old modes back, so that the
// after-run snapshot and the removal of the scratch folder see every entry,
// whoever runs the tests.
void EndRunState(const OldModes& vOld) {
  TestReleaseHeldFiles();
  for (const auto& old : vOld)
    EXPECT_EQ(TestSetMode(old.first, old.second), kTestMade) << old.first;
}

// Returns why this platform cannot run the case's process options, or "".
std::string OptionsSkip(const Case& c) {
  std::string strHere = PlatPathSeparator() == '\\' ? "windows" : "posix";
  if (!c.strOnly.empty() && c.strOnly != strHere)
    return "a case for " + c.strOnly + " alone";
  const char* pszShim = std::getenv("RAV_FAULTSHIM");
  if (!c.strFault.empty() && (pszShim == nullptr || *pszShim == '\0'))
    return "no fault shim on this build";
  if (!c.strFileSizeLimit.empty() && !TestRunHasLimits())
    return "no file-size limit on this platform";
  unsigned nUid = 0, nGid = 0;
  if (c.bAsAdmin && !TestAdminAccount(nUid, nGid))
    return "no administrator other than root to run the tool as (POSIX "
           "tests run as root, with a group sudo)";
  return "";
}

// The length of the expected result file's first four lines, with
// strCmdLine as the command line.
long long HeaderLength(const Case& c, const ScratchDir& dir,
                       const std::string& strCmdLine) {
  std::string strResult = Bytes(c.strResult, dir.Path("data"));
  size_t nEnd = 0;
  for (int nLine = 0; nLine < 4; ++nLine) {
    size_t nCrLf = strResult.find("\r\n", nEnd);
    nEnd = nCrLf == std::string::npos ? strResult.size() : nCrLf + 2;
  }
  std::string strHeader =
      Replace(strResult.substr(0, nEnd), "{CMDLINE}", strCmdLine);
  return static_cast<long long>(
      Replace(strHeader, "{TIME}", "YYYY/MM/DD hh:mm:ss").size());
}

TestRunOptions Options(const Case& c, const ScratchDir& dir,
                       const std::string& strCmdLine) {
  TestRunOptions options;
  options.bAsAdmin = c.bAsAdmin;
  for (const std::string& strEntry : c.vEnv)
    options.vEnv.push_back(FillPaths(strEntry, dir));
  if (!c.strFault.empty()) {
    options.vEnv.push_back(std::string("LD_PRELOAD=") +
                           std::getenv("RAV_FAULTSHIM"));
    options.vEnv.push_back("RAV_FAULT=" + c.strFault);
  }
  const std::string& strLimit = c.strFileSizeLimit;
  if (!strLimit.empty() && strLimit[0] == '+')
    options.nFileSizeLimit =
        HeaderLength(c, dir, strCmdLine) + std::stoll(strLimit.substr(1));
  else if (!strLimit.empty())
    options.nFileSizeLimit = std::stoll(strLimit);
  return options;
}

// Says how the run ended, for the messages.
std::string RunOutcome(int nExit) {
  if (nExit == kTestRunTimedOut) return "hung and killed at the timeout";
  if (nExit <= kTestRunSignal)
    return "killed by signal " + std::to_string(kTestRunSignal - nExit);
  if (nExit == kTestRunFailed) return "could not be run";
  return "exit code " + std::to_string(nExit);
}

// Compares CP932 texts byte for byte and shows both as the system's text.
void ExpectSame(const std::string& strGot, const std::string& strWant,
                const std::string& strWhat) {
  EXPECT_TRUE(strGot == strWant) << strWhat << " differs\n--- got:\n"
                                 << TestToNative(strGot) << "\n--- want:\n"
                                 << TestToNative(strWant);
}

// The run's timestamp: from the result file name on the console, else from
// the one regular result file in the current folder that no earlier run
// (vEarlier) made; "" when there is none. strKind gets the name's start:
// "result", or "whatif" for a preview.
std::string ResultStamp(const std::string& strConsole, const ScratchDir& dir,
                        const std::vector<std::string>& vEarlier,
                        std::string& strKind) {
  std::smatch m;
  static const std::regex kName("(result|whatif)([0-9]{14})\\.txt");
  // A refused run may name its backup file instead.
  static const std::regex kNamed("(result|whatif|backup)([0-9]{14})\\.");
  strKind = "result";
  if (std::regex_search(strConsole, m, kNamed)) {
    if (m[1] != "backup") strKind = m[1].str();
    return m[2].str();
  }
  std::string strStamp;
  for (const auto& entry : TestSnapshot(dir.Path("cwd")))
    if (entry.second.chKind == 'f' && std::regex_match(entry.first, m, kName) &&
        std::count(vEarlier.begin(), vEarlier.end(), m[2].str()) == 0) {
      strKind = m[1].str();
      strStamp = m[2].str();
    }
  return strStamp;
}

std::string MaskTimes(const std::string& strText) {
  static const std::regex kTime(
      "[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
  return std::regex_replace(strText, kTime, "{TIME}");
}

// The scratch folder's entries but the tool's own result and trace files,
// and the empty rf*.tmp that Wine's ReplaceFile leaves beside a file it
// fails to move away (its GetTempFileName makes one each time).
std::map<std::string, TestEntry> Snapshot(const ScratchDir& dir) {
  static const std::regex kOwn(
      "cwd/((result|whatif|tracelog)[0-9]{14}\\.txt|backup[0-9]{14}\\.dat|"
      "report[0-9]{14}\\.(csv|html))|"
      "(.*/)?rf[0-9a-f]{1,4}\\.tmp");
  std::map<std::string, TestEntry> mEntries = TestSnapshot(dir.Path());
  for (auto it = mEntries.begin(); it != mEntries.end();)
    it = std::regex_match(it->first, kOwn) ? mEntries.erase(it) : std::next(it);
  return mEntries;
}

std::string Describe(const std::map<std::string, TestEntry>& mEntries,
                     const std::string& strPath) {
  auto it = mEntries.find(strPath);
  if (it == mEntries.end()) return "<missing>";
  std::ostringstream out;
  out << it->second.chKind << " mode " << std::oct << it->second.nMode << ": "
      << it->second.strData;
  return out.str();
}

// Checks an entry that "expect" names: its bytes, and the permissions it
// had before.
void CheckExpected(const std::string& strPath, const std::string& strWant,
                   const std::map<std::string, TestEntry>& mBefore,
                   const std::map<std::string, TestEntry>& mAfter,
                   const std::string& strData) {
  auto itAfter = mAfter.find(strPath);
  if (strWant == "<any>\n") return;
  if (strWant == "<missing>\n") {
    EXPECT_TRUE(itAfter == mAfter.end()) << strPath << " is left";
    return;
  }
  ASSERT_TRUE(itAfter != mAfter.end()) << strPath << " is missing";
  EXPECT_EQ(itAfter->second.chKind, 'f') << strPath;
  ExpectSame(itAfter->second.strData, Bytes(strWant, strData), strPath);
  auto itBefore = mBefore.find(strPath);
  if (itBefore != mBefore.end()) {
    EXPECT_EQ(itAfter->second.nMode, itBefore->second.nMode) << strPath;
  }
}

// Every entry is as before the run, but those that "expect" names.
void CheckFiles(const Case& c, const ScratchDir& dir,
                const std::map<std::string, TestEntry>& mBefore) {
  std::map<std::string, TestEntry> mAfter = Snapshot(dir);
  std::map<std::string, TestEntry> mAll = mBefore;
  mAll.insert(mAfter.begin(), mAfter.end());
  for (const auto& entry : mAll) {
    auto itExpect = c.mExpect.find(entry.first);
    if (itExpect != c.mExpect.end()) {
      CheckExpected(entry.first, itExpect->second, mBefore, mAfter,
                    dir.Path("data"));
    } else {
      ExpectSame(Describe(mAfter, entry.first), Describe(mBefore, entry.first),
                 entry.first);
    }
  }
  for (const auto& expect : c.mExpect) {
    if (mAll.count(expect.first) != 0) continue;
    EXPECT_TRUE(expect.second == "<missing>\n" || expect.second == "<any>\n")
        << expect.first << " is missing";
  }
}

// The file identities that "identity" names, before or after the run.
std::map<std::string, std::string> Identities(const Case& c,
                                              const ScratchDir& dir) {
  std::map<std::string, std::string> mIds;
  for (const auto& identity : c.mNewIdentity)
    mIds[identity.first] = TestFileId(dir.Path(identity.first));
  return mIds;
}

void CheckIdentities(const Case& c, const ScratchDir& dir,
                     const std::map<std::string, std::string>& mBefore) {
  for (const auto& id : Identities(c, dir)) {
    EXPECT_NE(id.second, "") << id.first << " is missing";
    EXPECT_EQ(id.second != mBefore.at(id.first), c.mNewIdentity.at(id.first))
        << id.first
        << (c.mNewIdentity.at(id.first) ? " was not replaced"
                                        : " was replaced");
  }
}

void CheckRun(const Case& c, const ScratchDir& dir, int nExit,
              const std::string& strOutput, const std::string& strCmdLine,
              const std::vector<std::string>& vFirstStamps) {
  EXPECT_EQ(RunOutcome(nExit), RunOutcome(c.nExit & 0xFF));
  std::string strKind;
  std::string strStamp = ResultStamp(strOutput, dir, vFirstStamps, strKind);
  ExpectSame(strOutput,
             Replace(TestUtf8ToCp932(c.strConsole), "{TS}", strStamp),
             "the console text");
  TestEntry result = TestReadEntry(dir.Path(
      "cwd/" + strKind + (strStamp.empty() ? "?" : strStamp) + ".txt"));
  std::string strResult = result.chKind == 'f' ? result.strData : "<missing>";
  if (!c.bResult) {
    EXPECT_EQ(strResult, "<missing>");
  } else {
    std::string strWant =
        Replace(Bytes(c.strResult, dir.Path("data")), "{CMDLINE}", strCmdLine);
    ExpectSame(MaskTimes(strResult), strWant, "the result file");
  }
  if (!strStamp.empty()) {
    TestEntry trace =
        TestReadEntry(dir.Path("cwd/tracelog" + strStamp + ".txt"));
    EXPECT_EQ(trace.chKind == 'f', c.bTrace);
    std::istringstream lines(c.strTrace);
    for (std::string strLine; std::getline(lines, strLine);)
      EXPECT_NE(trace.strData.find(Bytes(strLine, dir.Path("data"))),
                std::string::npos)
          << "the trace lacks: " << strLine;
  }
}

// The data folder as the page's JSON writes it, "\\" doubled (the scratch
// folder's path is ASCII, the same in CP932 and UTF-8).
std::string JsonData(const ScratchDir& dir) {
  return Replace(dir.Path("data"), "\\", "\\\\");
}

// True iff the case planted something at strPath for the run strStamp.
bool Planted(const Case& c, const std::string& strPath,
             const std::string& strStamp) {
  for (const Node& node : c.vNodes)
    if (Replace(node.strPath, "{TS}", strStamp) == strPath) return true;
  return false;
}

// No report file is there but the run's own, the first runs' and what the
// case made.
void CheckNoStrayReports(const Case& c, const ScratchDir& dir,
                         const std::string& strStamp,
                         const std::vector<std::string>& vFirstStamps) {
  static const std::regex kReport("report([0-9]{14})\\.(csv|html)");
  std::smatch m;
  for (const auto& entry : TestSnapshot(dir.Path("cwd"))) {
    if (!std::regex_match(entry.first, m, kReport) || m[1] == strStamp ||
        c.mFiles.count("cwd/" + entry.first) != 0 ||
        Planted(c, "cwd/" + entry.first, m[1]))
      continue;
    EXPECT_EQ(std::count(vFirstStamps.begin(), vFirstStamps.end(), m[1]), 1)
        << "a report file of no run: " << entry.first;
  }
}

// Checks the run's report files.
void CheckReport(const Case& c, const ScratchDir& dir,
                 const std::string& strStamp,
                 const std::vector<std::string>& vFirstStamps) {
  CheckNoStrayReports(c, dir, strStamp, vFirstStamps);
  std::string strCsv = "cwd/report" + strStamp + ".csv";
  std::string strPage = "cwd/report" + strStamp + ".html";
  TestEntry csv = TestReadEntry(dir.Path(strCsv));
  TestEntry page = TestReadEntry(dir.Path(strPage));
  if (!Planted(c, strCsv, strStamp)) {
    EXPECT_EQ(csv.chKind == 'f', c.bCsv) << "the report's CSV";
  }
  if (!Planted(c, strPage, strStamp)) {
    EXPECT_EQ(page.chKind == 'f', c.bPage) << "the report's page";
  }
  if (c.bCsv && csv.chKind == 'f')
    ExpectSame(csv.strData, Bytes(c.strCsv, dir.Path("data")), "the CSV");
  std::istringstream lines(c.strPage);
  for (std::string strLine; page.chKind == 'f' && std::getline(lines, strLine);)
    EXPECT_NE(page.strData.find(Replace(strLine, "{DATA}", JsonData(dir))),
              std::string::npos)
        << "the page lacks: " << strLine;
}

// Waits until the clock shows a new second, so that the next run's files
// get names of their own.
void NextSecond() {
  std::time_t tStart = std::time(nullptr);
  while (std::time(nullptr) == tStart)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// Fills in the timestamps of the first runs made so far.
std::string FillRuns(std::string strText,
                     const std::vector<std::string>& vStamps) {
  for (size_t n = 0; n < vStamps.size(); ++n)
    strText =
        Replace(strText, "{RUN" + std::to_string(n + 1) + "}", vStamps[n]);
  return strText;
}

// Fills in the paths and the timestamps of the first runs made so far.
std::vector<std::string> CaseArgs(const std::vector<std::string>& vWords,
                                  const ScratchDir& dir,
                                  const std::vector<std::string>& vStamps) {
  std::vector<std::string> vArgs;
  for (const std::string& strArg : vWords)
    vArgs.push_back(FillPaths(FillRuns(strArg, vStamps), dir));
  return vArgs;
}

// Appends what a then-append names to its file.
void AppendAfterFirst(const Append& append, const ScratchDir& dir,
                      const std::vector<std::string>& vStamps) {
  std::string strPath = dir.Path(FillRuns(append.strPath, vStamps));
  std::string strBytes =
      append.strFrom.empty()
          ? Bytes(append.strBlock, dir.Path("data"))
          : TestReadEntry(dir.Path(FillRuns(append.strFrom, vStamps))).strData;
  TestEntry old = TestReadEntry(strPath);
  ASSERT_TRUE(TestWriteFile(strPath,
                            (old.chKind == 'f' ? old.strData : "") + strBytes));
}

// Makes the case's first runs, each in a second of its own, then writes
// the files that come after them; vStamps gets their timestamps.
void RunFirst(const Case& c, const ScratchDir& dir,
              std::vector<std::string>& vStamps) {
  for (const std::vector<std::string>& vWords : c.vFirstRuns) {
    NextSecond();
    std::vector<std::string> vArgs = CaseArgs(vWords, dir, vStamps);
    std::string strOutput, strKind;
    TestRunTool(vArgs, dir.Path("cwd"), strOutput,
                Options(c, dir, TestCommandLine(TestToolPath(), vArgs)));
    vStamps.push_back(ResultStamp(strOutput, dir, vStamps, strKind));
  }
  for (const auto& file : c.mThenFiles)
    ASSERT_TRUE(TestWriteFile(dir.Path(file.first),
                              Bytes(file.second, dir.Path("data"))));
  for (const Append& append : c.vThenAppends)
    AppendAfterFirst(append, dir, vStamps);
  if (!c.vFirstRuns.empty()) NextSecond();
}

void RunCase(const std::string& strName) {
  std::string strText = GoldenFile(strName);
  ASSERT_NE(strText, "<missing>");
  ScratchDir dir;
  Case c;
  c.nRootLength = dir.strRoot.size();
  ParseInto(c, strText);
  std::string strSkip = OptionsSkip(c);
  if (!strSkip.empty()) GTEST_SKIP() << strSkip;
  SetUpStore(c, dir, strSkip);
  if (!strSkip.empty()) GTEST_SKIP() << strSkip;
  if (testing::Test::HasFatalFailure()) return;
  std::map<std::string, TestEntry> mBefore = Snapshot(dir);
  std::vector<std::string> vStamps;
  RunFirst(c, dir, vStamps);
  if (testing::Test::HasFatalFailure()) return;
  std::vector<std::string> vArgs = CaseArgs(c.vArgs, dir, vStamps);
  std::string strCmdLine = TestCommandLine(TestToolPath(), vArgs);
  std::map<std::string, std::string> mIdsBefore = Identities(c, dir);
  OldModes vOldModes;
  StartRunState(c, dir, vOldModes, strSkip);
  if (!strSkip.empty()) {
    EndRunState(vOldModes);
    GTEST_SKIP() << strSkip;
  }
  std::string strOutput;
  int nExit = TestRunTool(vArgs, dir.Path("cwd"), strOutput,
                          Options(c, dir, strCmdLine));
  EndRunState(vOldModes);
  CheckRun(c, dir, nExit, strOutput, strCmdLine, vStamps);
  std::string strKind;
  CheckReport(c, dir, ResultStamp(strOutput, dir, vStamps, strKind), vStamps);
  CheckFiles(c, dir, mBefore);
  CheckIdentities(c, dir, mIdsBefore);
}

class GoldenCase : public testing::Test {
 public:
  explicit GoldenCase(std::string strFile) : m_strFile(std::move(strFile)) {}
  void TestBody() override { RunCase(m_strFile); }

 private:
  std::string m_strFile;
};

}  // namespace

// Every case file named on the command line is a test of its own, named
// after the file.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    std::string strFile = argv[i];
    std::string strName = strFile.substr(0, strFile.rfind(".case"));
    testing::RegisterTest(
        "Golden", strName.c_str(), nullptr, nullptr, __FILE__, __LINE__,
        [strFile]() -> testing::Test* { return new GoldenCase(strFile); });
  }
  if (argc < 2) {
    std::fprintf(stderr, "no golden cases given\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
