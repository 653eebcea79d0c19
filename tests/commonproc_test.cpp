#include "commonproc.h"

#include <gtest/gtest.h>

#include <random>

#include "commonproc_mbcs.h"
#include "listgen.h"
#include "platform/platform.h"
#include "platform/platform_test_helper.h"
#include "testutil.h"

// Shift-JIS characters whose trail byte is ASCII: ソ 83 5C (\), 表 95 5C (\),
// ポ 83 7C (|), ア 83 41 (A), ャ 83 61 (a); full-width Ａ 82 60, ａ 82 81.

namespace {

const size_t npos = std::string::npos;

TEST(MbcsTest, CharacterRules) {
  EXPECT_EQ(PlatCharLen("aソ", 1), 2u);
  EXPECT_EQ(PlatCharLen("a\x83", 1), 1u);  // a lead byte at the end
  EXPECT_EQ(MbPrevChar("aソ\\", 3), 1u);
  EXPECT_EQ(MbPrevChar("a", 0), 0u);
  EXPECT_EQ(MbFind("ソ\\", "\\"), 2u);
  EXPECT_EQ(MbFind("表ポ", "\\"), npos);
  EXPECT_EQ(MbFind("ソb,", "\\b,"), npos);
  EXPECT_EQ(MbFind("a,b,", ",", 2), 3u);
  EXPECT_EQ(MbFind("abc", ""), npos);
  EXPECT_EQ(MbLower("AbＡア\x83"), "abａア\x83");  // ア's trail 'A' stays
  EXPECT_TRUE(MbEqualNoCase("AdminＡ", "adminａ"));
  EXPECT_FALSE(MbEqualNoCase("ア", "ャ"));
  EXPECT_EQ(MbTrim(" \tソ表 \t", "\t "), "ソ表");
  EXPECT_EQ(MbTrim(" \t ", "\t "), "");
  EXPECT_EQ(MbTrim("\\xソ", "\\"), "xソ");  // the trail 0x5C stays
}

TEST(UserListTest, Split) {
  const std::vector<std::vector<std::string>> vCases[] = {
      {{"a,,b", ","}, {"a", "", "b"}},
      {{",a", ","}, {"", "a"}},
      {{"a,", ","}, {"a", ""}},
      {{"a,bob,c,bob,", ",bob,"}, {"a", "c", ""}},
      {{"ソ\\表", "\\"}, {"ソ", "表"}},
      {{"表,ポ|x", "|"}, {"表,ポ", "x"}},
      {{"", ","}, {}},
      {{"a,b", ""}, {}},
  };
  for (const auto& c : vCases) {
    std::vector<std::string> vItems = {"left over"};
    split(c[0][0], c[0][1], vItems);
    EXPECT_EQ(vItems, c[1]) << c[0][0] << " / " << c[0][1];
  }
}

TEST(UserListTest, SearchUserString) {
  const struct {
    const char *pszTarget, *pszSub;
    int bCopyMatch, bMatchCase, nExpected;
    const char* pszSubAfter;
  } vCases[] = {
      {"alice,bob,", "Bob", 1, 0, 1, "bob"},
      {"alice,bob,", "Bob", 0, 0, 1, "Bob"},
      {"alice,bob,", "Bob", 1, 1, 0, "Bob"},
      {"alice,bob", "bob", 1, 0, 0, "bob"},
      {"bob,alice,", "bob", 0, 1, 1, "bob"},
      {"joanna,annie,", "ann", 0, 0, 0, "ann"},
      {"", "bob", 1, 0, -1, "bob"},
      {"bob,", "", 1, 0, -1, ""},
      {"x,ＡＤＭＩＮ,", "ａｄｍｉｎ", 1, 0, 1, "ＡＤＭＩＮ"},
      {"ソ表,ポ,", "ポ", 0, 1, 1, "ポ"},
  };
  for (const auto& c : vCases) {
    std::string strSub = c.pszSub;
    EXPECT_EQ(SearchUserString(c.pszTarget, strSub, c.bCopyMatch, c.bMatchCase),
              c.nExpected)
        << c.pszTarget << " / " << c.pszSub;
    EXPECT_EQ(strSub, c.pszSubAfter);
  }
}

// The reference: ",name," looked for at every character boundary of
// ",list", both lower-cased unless case counts. Quadratic, and plainly what
// a whole-item search means.
bool ReferenceFind(const std::string& strList, const std::string& strName,
                   int bMatchCase) {
  if (strList.empty() || strName.empty()) return false;
  std::string strHay = "," + (bMatchCase ? strList : MbLower(strList));
  std::string strNeedle = "," + (bMatchCase ? strName : MbLower(strName)) + ",";
  for (size_t nPos = 0; nPos < strHay.size(); nPos += PlatCharLen(strHay, nPos))
    if (strHay.compare(nPos, strNeedle.size(), strNeedle) == 0) return true;
  return false;
}

// The index answers exactly as a search of the list, on thousands of random
// lists, irregular ones included, and names taken from them or made up.
TEST(UserListTest, IndexAgreesWithTheSearch) {
  std::mt19937 rng(20261208);
  int nRegular = 0;
  for (int nCase = 0; nCase < 4000; ++nCase) {
    std::string strList = TestRandomList(rng, 12);
    for (int bMatchCase : {0, 1}) {
      UserListIndex index;
      IndexUserList(strList, bMatchCase, index);
      nRegular += index.bRegular ? 1 : 0;
      std::vector<std::string> vNames = NamesOf(strList);
      for (int i = 0; i < 4; ++i) vNames.push_back(TestRandomName(rng));
      for (const std::string& strName : vNames)
        ASSERT_EQ(IsInUserList(index, strName),
                  ReferenceFind(strList, strName, bMatchCase))
            << "[" << strList << "] [" << strName << "] " << bMatchCase;
    }
  }
  // Both paths were taken often.
  EXPECT_GT(nRegular, 1000);
  EXPECT_LT(nRegular, 7000);
}

TEST(UserListTest, DeleteAndReplaceUserString) {
  // {list, name, new name or "" to delete, expected}
  const std::vector<std::string> vCases[] = {
      {"alice,bob,carol,", "bob", "", "alice,carol,"},
      {"bob,", "bob", "", ""},
      {"alice,bob", "bob", "", "alice,bob,"},
      {"alice,bob,", "Bob", "", "alice,bob,"},
      {"", "bob", "", ""},
      {"bob,alice,bob,bob,", "bob", "", "alice,"},
      {"bobby,ソ,表,ソ,", "ソ", "", "bobby,表,"},
      {"bob,alice,", "bob", "dave", "dave,alice,"},
      {"alice,Bob,carol,", "bob", "dave", "alice,dave,carol,"},
      {"bob,x,bob,bob,", "bob", "bobby", "bobby,x,bobby,bobby,"},
      {"Bob,bob,", "bob", "dave", "dave,bob,"},  // the first spelling counts
      {"ポ,ＡＢ,", "ａｂ", "ソ", "ポ,ソ,"},
      {"alice,", "", "dave", "alice,"},
  };
  for (const auto& c : vCases) {
    if (c[2].empty())
      EXPECT_EQ(DeleteUserString(c[0], c[1]), c[3]) << c[0] << " - " << c[1];
    else
      EXPECT_EQ(ReplaceUserString(c[0], c[1], c[2]), c[3]) << c[0];
  }
  EXPECT_EQ(ReplaceUserString("bob,", "bob", ""), "bob,");
}

// A move of Folder.ini.new over Folder.ini with faults on the way; faults of
// copies and replaces match the destination, deletes the deleted file.
TEST(FileRoutinesTest, MoveRetriesAndFallsBack) {
  const struct {
    int nCall, nTimes, nCall2, nTimes2;
    bool bExpected;
    const char* pszDst;
    int nSrcKind;
  } vCases[] = {
      {kFaultReplace, 0, kFaultCopy, 0, true, "new", kPlatMissing},
      {kFaultReplace, 4, kFaultCopy, 0, true, "new", kPlatMissing},
      {kFaultReplace, 5, kFaultCopy, 0, false, "old", kPlatFile},
      {kFaultRefuse, 1, kFaultCopy, 0, true, "new", kPlatMissing},
      {kFaultRefuse, 1, kFaultCopy, 4, true, "new", kPlatMissing},
      {kFaultRefuse, 1, kFaultCopy, 5, false, "old", kPlatFile},
      {kFaultRefuse, 1, kFaultDelete, 4, true, "new", kPlatMissing},
      {kFaultRefuse, 1, kFaultDelete, 5, true, "new", kPlatFile},  // ignored
  };
  ScratchDir dir;
  const std::string strSrc = dir.Path("Folder.ini.new");
  const std::string strDst = dir.Path("Folder.ini");
  for (const auto& c : vCases) {
    PlatResetFaults(false);
    ASSERT_TRUE(TestWriteFile(strSrc, "new") && TestWriteFile(strDst, "old"));
    PlatSetFault(c.nCall, "Folder.ini", 0, c.nTimes);
    PlatSetFault(c.nCall2, c.nCall2 == kFaultCopy ? "ini" : "new", 0,
                 c.nTimes2);
    EXPECT_EQ(MyMoveFile(strSrc, strDst), c.bExpected) << c.nCall << c.nTimes2;
    EXPECT_EQ(TestReadFile(strDst), c.pszDst);
    EXPECT_EQ(PlatGetFileKind(strSrc), c.nSrcKind);
  }
  PlatResetFaults(false);
  EXPECT_TRUE(MyDeleteFile(strSrc));
  EXPECT_EQ(PlatGetFileKind(strSrc), kPlatMissing);
  EXPECT_TRUE(MyDeleteFile(strSrc));
  EXPECT_FALSE(MyCopyFile(strSrc, strDst));
  EXPECT_FALSE(MyMoveFile(strSrc, strDst));
  EXPECT_EQ(TestReadFile(strDst), "new");
  PlatResetFaults(true);
}

}  // namespace
