#include <gtest/gtest.h>

#include <regex>

#include "platform/platform.h"
#include "raverazariduvivi_trace.h"
#include "testutil.h"

namespace {

// Returns the file with each line's leading time field replaced by "T,";
// a line without a well-formed time field stays whole.
std::string WithoutTimes(const std::string& strPath) {
  static const std::regex reTime(
      "(^|\\n)\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2},");
  return std::regex_replace(TestReadFile(strPath), reTime, "$1T,");
}

// Writers format one CR LF line each, and nothing (no file either) while
// the trace is off or without payload.
TEST(TraceTest, WritersFormatOneCrLfLineEach) {
  ScratchDir dir;
  g_szTraceLogPath = dir.Path("tracelog.txt");
  TraceLog("f", "x.cpp", 1, "one");
  TraceLogValue("f", "x.cpp", 1, "n", "v");
  TraceLogInt("f", "x.cpp", 1, "n", 1);
  g_bTraceLog = 1;
  TraceLog("main", "main.cpp", 8, "");
  TraceLogValue("f", "a.cpp", 11, "", "value");
  TraceLogInt("f", "a.cpp", 13, "", 1);
  EXPECT_EQ(PlatGetFileKind(g_szTraceLogPath), kPlatMissing);
  TraceLog("main", "src/main.cpp", 7, "Start main()");
  TraceLogValue("f", "C:\\src\\a.cpp", 9, "\tstrFolder", "C:\\d\\表");
  TraceLogValue("f", "a.cpp", 10, "strList", "");
  TraceLogInt("f", "a.cpp", 12, "Return", -9);
  int nLine = __LINE__ + 1;
  TRACE_INT("\tnKey", 2147483647);
  EXPECT_EQ(WithoutTimes(g_szTraceLogPath),
            CrLf({"T,main.cpp:7,main,Start main()",
                  "T,a.cpp:9,f,\tstrFolder=C:\\d\\表",
                  "T,a.cpp:10,f,strList=", "T,a.cpp:12,f,Return=-9",
                  "T,trace_test.cpp:" + std::to_string(nLine) +
                      ",TestBody,\tnKey=2147483647"}));
  g_bTraceLog = 0;
}

TEST(TraceTest, FileNameIsTheLastComponent) {
  const std::pair<const char*, std::string> vCases[] = {
      {"a/b\\c.cpp", "c.cpp"},
      {"src\\表.cpp", "表.cpp"},  // 95 5C
      {"dir/", ""},
  };
  for (const auto& c : vCases) EXPECT_EQ(TraceFileName(c.first), c.second);
}

}  // namespace
