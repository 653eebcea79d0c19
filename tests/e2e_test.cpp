// End-to-end runner: each golden case under tests/golden builds a real
// installation in a scratch folder, runs the built tool once and checks
// its exit code, console text, result file and the bytes of every file it
// set up.
//
// A case file is UTF-8 text made of directives, each on a line that starts
// with "== ", and the block of lines below it:
//   == args A B ...        the arguments ("" is an empty argument)
//   == registry EXE VER    the App Paths values (EXE relative to the
//                          scratch folder, "-" for empty); "none" removes
//                          the key
//   == file PATH           a file with the block's lines, CR LF ended
//   == dir PATH            an empty folder
//   == remove PATH         removes a file the default installation made
//   == exit N              the expected exit code
//   == console             the expected console text
//   == result              the expected result file (none: no file)
//   == expect PATH         the expected bytes of PATH after the run
//                          ("<missing>": PATH must not exist)
//   == trace               a trace log must be written (else none may be)
//   == include NAME        reads the directives of another golden file
// In blocks, {DATA} is the data folder, {CMDLINE} the tool's command line,
// {TS} the run's timestamp and {TIME} any "YYYY/MM/DD hh:mm:ss" time. Files
// not named by "expect" must be byte-identical after the run.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "commonproc.h"
#include "platform/platform.h"
#include "testrun.h"
#include "testutil.h"

namespace {

std::vector<std::string> g_vCases;

struct Case {
  std::vector<std::string> vArgs;
  std::string strExe = "inst/TenboEnvSet.exe";
  std::string strVersion = "V50L50";
  bool bRegistry = true;
  int nExit = 1;
  std::string strConsole;
  bool bResult = false;
  std::string strResult;
  std::map<std::string, std::string> mFiles;  // a later one replaces
  std::vector<std::string> vDirs, vRemoved;
  std::map<std::string, std::string> mExpect;
  bool bTrace = false;
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

// Applies one directive with its block to the case.
void Apply(Case& c, const std::string& strDirective,
           const std::string& strBlock) {
  std::vector<std::string> vWords = Words(strDirective);
  std::string strVerb = vWords.empty() ? "" : vWords[0];
  std::string strArg = vWords.size() > 1 ? vWords[1] : "";
  if (strVerb == "args") c.vArgs.assign(vWords.begin() + 1, vWords.end());
  if (strVerb == "registry") {
    c.bRegistry = strArg != "none";
    c.strExe = strArg == "-" ? "" : strArg;
    if (vWords.size() > 2) c.strVersion = vWords[2] == "-" ? "" : vWords[2];
  }
  if (strVerb == "file") c.mFiles[strArg] = strBlock;
  if (strVerb == "dir") c.vDirs.push_back(strArg);
  if (strVerb == "remove") c.vRemoved.push_back(strArg);
  if (strVerb == "exit") c.nExit = std::stoi(strArg);
  if (strVerb == "console") c.strConsole = strBlock;
  if (strVerb == "result") c.strResult = strBlock, c.bResult = true;
  if (strVerb == "expect") c.mExpect[strArg] = strBlock;
  if (strVerb == "trace") c.bTrace = true;
  if (strVerb == "include") ParseInto(c, GoldenFile(strArg));
}

// Parses a case file: directive lines become CP932 at once, blocks keep
// their UTF-8 text with LF ends until they are written or compared.
void ParseInto(Case& c, const std::string& strText) {
  std::istringstream in(strText);
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

// Returns a block as the tool's CP932 bytes with CR LF ends and {DATA}
// filled in.
std::string Bytes(const std::string& strBlock, const std::string& strData) {
  return Replace(TestUtf8ToCp932(Replace(strBlock, "\n", "\r\n")), "{DATA}",
                 strData);
}

void SetUpStore(const Case& c, const ScratchDir& dir) {
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
  if (!c.bRegistry) {
    TestDeleteAppPathsKey();
  } else {
    std::string strExe = c.strExe.empty() ? "" : dir.Path(c.strExe);
    ASSERT_TRUE(TestSetAppPathsKey(strExe, c.strVersion));
  }
}

// The timestamp in the name of the one result file in the folder, or "".
std::string ResultStamp(const std::string& strConsole) {
  std::smatch m;
  static const std::regex kName("result([0-9]{14})\\.txt");
  return std::regex_search(strConsole, m, kName) ? m[1].str() : "";
}

std::string MaskTimes(const std::string& strText) {
  static const std::regex kTime(
      "[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
  return std::regex_replace(strText, kTime, "{TIME}");
}

bool IsRemoved(const Case& c, const std::string& strPath) {
  for (const std::string& strRemoved : c.vRemoved)
    if (strRemoved == strPath) return true;
  return false;
}

void CheckFiles(const Case& c, const ScratchDir& dir) {
  const std::string strData = dir.Path("data");
  for (const auto& file : c.mFiles) {
    if (IsRemoved(c, file.first)) continue;
    auto it = c.mExpect.find(file.first);
    std::string strWant = it == c.mExpect.end() ? file.second : it->second;
    EXPECT_EQ(TestReadFile(dir.Path(file.first)), Bytes(strWant, strData))
        << file.first;
  }
  for (const auto& expect : c.mExpect) {
    if (expect.second == "<missing>\n")
      EXPECT_EQ(TestReadFile(dir.Path(expect.first)), "<missing>")
          << expect.first;
    else
      EXPECT_EQ(TestReadFile(dir.Path(expect.first)),
                Bytes(expect.second, strData))
          << expect.first;
  }
}

void RunCase(const std::string& strName) {
  SCOPED_TRACE(strName);
  std::string strText = GoldenFile(strName);
  ASSERT_NE(strText, "<missing>");
  Case c;
  ParseInto(c, strText);
  ScratchDir dir;
  SetUpStore(c, dir);
  std::vector<std::string> vArgs;
  for (const std::string& strArg : c.vArgs)
    vArgs.push_back(Replace(strArg, "{DATA}", dir.Path("data")));
  std::string strOutput;
  int nExit = TestRunTool(vArgs, dir.Path("cwd"), strOutput);
  EXPECT_EQ(nExit, c.nExit & 0xFF);
  std::string strStamp = ResultStamp(strOutput);
  EXPECT_EQ(strOutput,
            Replace(TestUtf8ToCp932(c.strConsole), "{TS}", strStamp));
  std::string strResult = TestReadFile(
      dir.Path("cwd/result" + (strStamp.empty() ? "?" : strStamp) + ".txt"));
  if (!c.bResult) {
    EXPECT_EQ(strResult, "<missing>");
  } else {
    std::string strWant =
        Replace(Bytes(c.strResult, dir.Path("data")), "{CMDLINE}",
                TestCommandLine(TestToolPath(), vArgs));
    EXPECT_EQ(MaskTimes(strResult), strWant);
  }
  CheckFiles(c, dir);
  if (!strStamp.empty()) {
    EXPECT_EQ(TestReadFile(dir.Path("cwd/tracelog" + strStamp + ".txt")) !=
                  "<missing>",
              c.bTrace);
  }
}

}  // namespace

TEST(Golden, EveryCase) {
  ASSERT_FALSE(g_vCases.empty()) << "no golden cases given";
  for (const std::string& strCase : g_vCases) RunCase(strCase);
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) g_vCases.push_back(argv[i]);
  return RUN_ALL_TESTS();
}
