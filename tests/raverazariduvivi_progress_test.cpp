#include "raverazariduvivi_progress.h"

#include <gtest/gtest.h>

namespace {

struct TextCase {
  size_t nPosition, nTotal;
  int nErrors;
  const char* pszWant;
};

const TextCase kTexts[] = {
    {1, 301, 0, "処理中 1/301 キャビネット（エラー 0）"},
    {120, 3000, 2, "処理中 120/3000 キャビネット（エラー 2）"},
    {100000, 100000, 12345,
     "処理中 100000/100000 キャビネット（エラー 12345）"},
};

TEST(ProgressText, ShowsPositionTotalAndErrors) {
  for (const TextCase& c : kTexts)
    EXPECT_EQ(ProgressText(c.nPosition, c.nTotal, c.nErrors), c.pszWant);
}

// One step of a line of 1000 cabinets: the clock reading and the errors
// handed in, and the position written ("" for no write).
struct StepCase {
  long long nNowMs;
  int nErrors;
  const char* pszShown;
};

// The first cabinet shows at once, whatever the clock says; after that a
// write waits kProgressIntervalMs from the last one, not from the last step.
const StepCase kSteps[] = {
    {0, 0, "1/1000"}, {1, 0, ""},    {249, 1, ""},         {250, 1, "4/1000"},
    {251, 1, ""},     {499, 2, ""},  {500, 2, "7/1000"},   {5000, 2, "8/1000"},
    {5000, 3, ""},    {5249, 3, ""}, {5250, 3, "11/1000"},
};

TEST(ProgressAdvance, WritesAtMostOncePerInterval) {
  ProgressLine line;
  line.nTotal = 1000;
  for (const StepCase& c : kSteps) {
    SCOPED_TRACE(c.nNowMs);
    std::string strWrite = ProgressAdvance(line, c.nNowMs, c.nErrors);
    if (*c.pszShown == '\0') {
      EXPECT_EQ(strWrite, "");
      continue;
    }
    size_t nSlash = std::string(c.pszShown).find('/');
    std::string strWant = ProgressText(
        std::stoul(std::string(c.pszShown, nSlash)), 1000, c.nErrors);
    EXPECT_EQ(strWrite, "\r" + strWant);
    EXPECT_EQ(line.nWidth, strWant.size());
  }
  EXPECT_EQ(line.nPosition, 11u);
}

TEST(ProgressAdvance, LineOffWritesNothing) {
  ProgressLine line;
  EXPECT_EQ(ProgressAdvance(line, 0, 0), "");
  EXPECT_EQ(ProgressAdvance(line, 100000, 0), "");
  EXPECT_EQ(line.nPosition, 0u);
  EXPECT_EQ(ProgressErase(line), "");
}

// The erase blanks as many columns as the last text written took, also when
// steps after it were not shown, and turns the line off for good.
TEST(ProgressErase, BlanksTheLineOnceAndTurnsItOff) {
  ProgressLine line;
  line.nTotal = 20000;
  std::string strLast;
  for (long long nNow = 0; nNow < 10050; nNow += 100) {
    std::string strWrite = ProgressAdvance(line, nNow, 0);
    if (!strWrite.empty()) strLast = strWrite;
  }
  size_t nWidth = strLast.size() - 1;
  ASSERT_EQ(line.nWidth, nWidth);
  EXPECT_EQ(ProgressErase(line), "\r" + std::string(nWidth, ' ') + "\r");
  EXPECT_EQ(ProgressErase(line), "");
  EXPECT_EQ(ProgressAdvance(line, 20000, 0), "");
}

// A line that is started but never stepped has nothing to erase.
TEST(ProgressErase, NothingShownNothingToErase) {
  ProgressLine line;
  line.nTotal = 500;
  EXPECT_EQ(ProgressErase(line), "");
  EXPECT_EQ(line.nTotal, 0u);
}

}  // namespace
