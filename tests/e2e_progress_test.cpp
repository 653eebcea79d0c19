// The status line of a long run: the tool on a generated store, once with
// standard output on a pipe (no status text at all, on every build) and,
// on Linux, once on a pseudo-terminal, where the line must show, be erased,
// and leave the closing message and the result file as the pipe run has
// them.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "commonproc.h"
#include "testfs.h"
#include "testrun.h"
#include "teststore.h"
#include "testutil.h"

namespace {

const char kStatusStart[] = "処理中 ";

// One run of the tool: what it printed and its result file with the times
// and the stamps blanked, so that two runs compare.
struct ToolRun {
  int nExit = kTestRunFailed;
  std::string strConsole, strResult;
};

std::string Blanked(const std::string& strText) {
  static const std::regex kTime("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9:]{8}");
  static const std::regex kStamp("(result|whatif)[0-9]{14}");
  return std::regex_replace(std::regex_replace(strText, kTime, "{TIME}"),
                            kStamp, "$1{TS}");
}

std::string ResultText(const std::string& strCwd) {
  static const std::regex kName("result[0-9]{14}\\.txt");
  for (const auto& entry : TestSnapshot(strCwd))
    if (std::regex_match(entry.first, kName)) return entry.second.strData;
  return "<none>";
}

// Splits the terminal's text into the status lines before the closing
// text and that text; false when the part before is anything but status
// lines, each written over the last with "\r", and one erase of the widest.
bool SplitStatus(const std::string& strTty, const std::string& strClosing,
                 std::vector<std::string>& vStatus) {
  if (strTty.size() < strClosing.size() ||
      strTty.compare(strTty.size() - strClosing.size(), std::string::npos,
                     strClosing) != 0)
    return false;
  std::string strHead = strTty.substr(0, strTty.size() - strClosing.size());
  if (strHead.size() < 2 || strHead.front() != '\r' || strHead.back() != '\r')
    return false;
  std::vector<std::string> vParts;
  split(strHead.substr(1, strHead.size() - 2), "\r", vParts);
  if (vParts.empty()) return false;
  std::string strErase = vParts.back();
  vParts.pop_back();
  size_t nWidest = 0;
  for (const std::string& strPart : vParts) {
    if (strPart.rfind(kStatusStart, 0) != 0) return false;
    nWidest = std::max(nWidest, strPart.size());
  }
  vStatus = vParts;
  return !vParts.empty() && strErase == std::string(nWidest, ' ');
}

struct ProgressCase {
  const char* pszName;
  int nLibs, nCabs;
  std::vector<std::string> vArgs;
  const char* pszClosing;      // the closing message's first line
  const char* pszFirstStatus;  // nullptr: no status line at all
};

const char kDone[] = "権限情報の更新が完了しました。";
const char kListed[] = "情報を出力しました。";

// Returns the closing message, blanked, that starts with pszFirst.
std::string Closing(const char* pszFirst) {
  return std::string(pszFirst) +
         "\n実行結果は本ツールと同じフォルダにある result{TS}.txt "
         "ファイルを参照してください。\n";
}

// 300 cabinets is the most that runs without the line; a named library
// counts its own cabinets only.
const ProgressCase kCases[] = {
    {"set_all",
     2,
     200,
     {"/set", "/rw", "jiro"},
     kDone,
     "処理中 1/400 キャビネット（エラー 0）"},
    {"list_library",
     2,
     301,
     {"/list-authstatus", "Lib2"},
     kListed,
     "処理中 1/301 キャビネット（エラー 0）"},
    {"set_at_limit", 1, 300, {"/set", "/rw", "jiro"}, kDone, nullptr},
    {"one_cabinet",
     1,
     400,
     {"/set", "/rw", "jiro", "Lib1/Cab0001"},
     kDone,
     nullptr},
};

void PrintTo(const ProgressCase& c, std::ostream* pOut) { *pOut << c.pszName; }

class ProgressTest : public testing::TestWithParam<ProgressCase> {
 protected:
  ScratchDir dir;

  ToolRun Run(const std::string& strCwd, bool bTerminal) {
    const ProgressCase& c = GetParam();
    ToolRun run;
    if (!TestMakeStore(dir.Path(), dir.Path("data"), c.nLibs, c.nCabs, 0) ||
        !TestMakeDirs(dir.Path(strCwd)))
      return run;
    run.nExit =
        bTerminal
            ? TestRunToolOnTerminal(c.vArgs, dir.Path(strCwd), run.strConsole)
            : TestRunTool(c.vArgs, dir.Path(strCwd), run.strConsole);
    run.strResult = Blanked(ResultText(dir.Path(strCwd)));
    return run;
  }
};

// Through a pipe the console holds the closing message only, as it always
// has: no status text and no carriage return.
TEST_P(ProgressTest, PipeShowsNoStatus) {
  ToolRun run = Run("pipe", false);
  EXPECT_EQ(run.nExit, 1);
  EXPECT_EQ(Blanked(run.strConsole), Closing(GetParam().pszClosing));
}

TEST_P(ProgressTest, TerminalShowsErasesAndKeepsTheRest) {
  if (!TestRunHasTerminal())
    GTEST_SKIP() << "the Windows tests run without a console; the "
                    "pipe case covers this build";
  ToolRun pipe = Run("pipe", false);
  ToolRun tty = Run("tty", true);
  EXPECT_EQ(tty.nExit, pipe.nExit);
  EXPECT_NE(pipe.strResult, "<none>");
  EXPECT_EQ(tty.strResult, pipe.strResult);
  std::string strClosing = Blanked(pipe.strConsole);
  std::string strTty = Blanked(tty.strConsole);
  if (GetParam().pszFirstStatus == nullptr) {
    EXPECT_EQ(strTty, strClosing);
    return;
  }
  std::vector<std::string> vStatus;
  ASSERT_TRUE(SplitStatus(strTty, strClosing, vStatus)) << strTty;
  EXPECT_EQ(vStatus.front(), GetParam().pszFirstStatus);
}

// "/undo" counts the entries of its backup file; the run it takes back went
// through a pipe and left no status text in the backup or anywhere else.
TEST(ProgressUndo, TerminalShowsAndErases) {
  if (!TestRunHasTerminal())
    GTEST_SKIP() << "the Windows tests run without a console; the "
                    "pipe case covers this build";
  ScratchDir dir;
  ASSERT_TRUE(TestMakeStore(dir.Path(), dir.Path("data"), 1, 400, 0));
  ASSERT_TRUE(TestMakeDirs(dir.Path("cwd")));
  std::string strConsole;
  ASSERT_EQ(TestRunTool({"/set", "/rw", "jiro"}, dir.Path("cwd"), strConsole),
            1);
  std::string strStamp;
  for (const auto& entry : TestSnapshot(dir.Path("cwd")))
    if (entry.first.rfind("backup", 0) == 0)
      strStamp = entry.first.substr(6, 14);
  ASSERT_EQ(
      TestRunToolOnTerminal({"/undo", strStamp}, dir.Path("cwd"), strConsole),
      1);
  std::vector<std::string> vStatus;
  ASSERT_TRUE(SplitStatus(Blanked(strConsole), Closing(kDone), vStatus))
      << strConsole;
  EXPECT_EQ(vStatus.front(), "処理中 1/400 キャビネット（エラー 0）");
  EXPECT_EQ(TestReadFile(JoinPath(JoinPath(dir.Path("data"), "Lib1"),
                                  "Cab0400/Folder.ini")),
            TestCabinetIni("Cab0400", false, 0));
}

INSTANTIATE_TEST_SUITE_P(Runs, ProgressTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ProgressCase>& info) {
                           return std::string(info.param.pszName);
                         });

}  // namespace
