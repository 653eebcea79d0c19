#include "raverazariduvivi_result.h"

#include <gtest/gtest.h>

namespace {

struct RecordCase {
  int nType, nResult, nAccess;
  const char* pszUser;
  const char* pszLib;
  const char* pszCab;
  const char* pszMsg;
  const char* pszWant;
};

// Five commas always; the general viewer's list name is shown without its
// "!", a user literally named so is not touched; no place without a library.
const RecordCase kRecords[] = {
    {kLogExe, kLogNg, kLogNone, "", "", "", "書庫一覧の取得に失敗",
     "EXE,NG,,,,書庫一覧の取得に失敗"},
    {kLogAdd, kLogOk, kLogW, "taro", "L1", "C1", "", "ADD,OK,W,taro,L1/C1,"},
    {kLogDel, kLogOk, kLogR, "一般閲覧者!", "L1", "C1", "",
     "DEL,OK,R,一般閲覧者,L1/C1,"},
    {kLogUsr, kLogOk, kLogRW, "一般閲覧者", "L1", "", "",
     "USR,OK,RW,一般閲覧者,L1,"},
    {kLogLst, kLogNg, kLogNone, "", "", "C1", "x", "LST,NG,,,,x"},
    {9, 2, 4, "a,b", "L,1", "C", "m", ",,,a,b,L,1/C,m"},
    {kLogRst, kLogOk, kLogNone, "", "ソフト", "表計算", "",
     "RST,OK,,,ソフト/表計算,"},
};

TEST(SetResultLog, FormsSixFields) {
  for (const RecordCase& c : kRecords)
    EXPECT_EQ(SetResultLog(c.nType, c.nResult, c.nAccess, c.pszUser, c.pszLib,
                           c.pszCab, c.pszMsg),
              c.pszWant);
}

}  // namespace
