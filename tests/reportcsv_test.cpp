#include "reportcsv.h"

#include <gtest/gtest.h>

namespace {

using Fields = std::vector<std::string>;

// Every field is written so that a spreadsheet keeps it text, and read back
// as it was; ソ ends in the byte of a backslash.
TEST(ReportCsv, WritesAndReadsBack) {
  struct Row {
    Fields vFields;
    const char* pszLine;
  } const kRows[] = {
      {{"Lib1", "CabA", "taro", "RW"}, "Lib1,CabA,taro,RW\r\n"},
      {{"", "a,b", "say \"hi\""}, ",\"a,b\",\"say \"\"hi\"\"\"\r\n"},
      {{"=1+2", "+x", "-1", "@sum"}, "'=1+2,'+x,'-1,'@sum\r\n"},
      {{"\tx", "\rx", "'x", "x'"}, "'\tx,\"'\rx\",''x,x'\r\n"},
      {{"two\r\nlines", "ソニー"}, "\"two\r\nlines\",ソニー\r\n"},
  };
  for (const Row& row : kRows) {
    std::string strLine = CsvLine(row.vFields);
    EXPECT_EQ(strLine, row.pszLine);
    std::vector<Fields> vRecords;
    ASSERT_EQ(ParseCsv(strLine + strLine, vRecords), 1) << row.pszLine;
    EXPECT_EQ(vRecords, (std::vector<Fields>{row.vFields, row.vFields}))
        << row.pszLine;
  }
}

// A last line without its line end still counts; what CsvLine never writes
// is refused.
TEST(ReportCsv, ParsesOnlyItsOwnForm) {
  std::vector<Fields> vRecords;
  EXPECT_EQ(ParseCsv("a,b\r\nc,\"d\"", vRecords), 1);
  EXPECT_EQ(vRecords, (std::vector<Fields>{{"a", "b"}, {"c", "d"}}));
  for (const char* pszBad :
       {"a\nb\r\n", "a\rb\r\n", "a\"b\r\n", "\"a\"b\r\n", "\"a\r\n", "a,\"b"})
    EXPECT_EQ(ParseCsv(pszBad, vRecords), -1) << pszBad;
}

}  // namespace
