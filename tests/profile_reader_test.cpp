// Tests of the portable INI reader against the fixtures in
// tests/fixtures/profile/ (one file per edge case). The expected values are
// those of the Windows reader. On the Windows build the backend is Wine's
// reader, whose known differences are listed row by row.
#include "platform/profile_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "testutil.h"

namespace {

bool IsWindows() { return PlatPathSeparator() == '\\'; }

std::string ProfileFixture(const std::string& strName) {
  return TestSourceDir() + PlatPathSeparator() +
         TestNativePath("tests/fixtures/profile/" + strName);
}

struct ProfileCase {
  const char* pszFile;  // under tests/fixtures/profile/
  const char* pszSection;
  const char* pszKey;
  const char* pszDefault;
  unsigned nSize;
  const char* pszExpect;  // what Windows gives; its length is the count
  const char* pszWine;    // what Wine gives where it differs, else nullptr
};

constexpr unsigned kBig = 100;
const char* const kSame = nullptr;

// clang-format off
const ProfileCase kCases[] = {
    // file, section, key, default, size, Windows, Wine when it differs
    {"basic.ini", "Sec", "Key", "d", kBig, "value", kSame},
    {"basic.ini", "Sec2", "Key", "d", kBig, "two", kSame},
    {"basic.ini", "Sec", "Nope", "d", kBig, "d", kSame},
    {"basic.ini", "Nope", "Key", "d", kBig, "d", kSame},
    {"missing.ini", "Sec", "Key", "d", kBig, "d", kSame},
    {"..", "Sec", "Key", "d", kBig, "d", kSame},
    {"empty.ini", "Sec", "K", "d", kBig, "d", kSame},
    // The default: only trailing spaces go, quotes stay.
    {"basic.ini", "Sec", "Nope", "def  ", kBig, "def", kSame},
    {"basic.ini", "Sec", "Nope", " def\t", kBig, " def\t", kSame},
    {"basic.ini", "Sec", "Nope", "\"def\"", kBig, "\"def\"", "def"},
    {"basic.ini", "Sec", "Nope", "   ", kBig, "", " "},
    {"basic.ini", "Sec", "Nope", nullptr, kBig, "", kSame},
    {"basic.ini", "Sec", "Nope", "abcdef", 4, "abc", kSame},
    {"line_ends.ini", "A", "K1", "d", kBig, "one", kSame},
    {"line_ends.ini", "A", "K2", "d", kBig, "two", kSame},
    {"line_ends.ini", "A", "K3", "d", kBig, "three", kSame},
    {"line_ends.ini", "B", "K", "d", kBig, "b", kSame},
    // Blanks in the file go; in the arguments only spaces go.
    {"blanks.ini", "Sec", "K e y", "d", kBig, "the value", kSame},
    {"blanks.ini", "Sec", "K2", "d", kBig, "v2", kSame},
    {"blanks.ini", "Sec", "Wide", "d", kBig, "　val　", kSame},
    {"blanks.ini", "Sec", "K3", "d", kBig, "d", kSame},
    {"blanks.ini", "Sec", "　K3", "d", kBig, "x", kSame},
    {"blanks.ini", "  Sec ", " K2  ", "d", kBig, "v2", kSame},
    {"blanks.ini", "\tSec", "K2", "d", kBig, "d", "v2"},
    {"blanks.ini", "Sec", "K2\v", "d", kBig, "d", "v2"},
    {"quotes.ini", "Sec", "D", "d", kBig, "dq", kSame},
    {"quotes.ini", "Sec", "S", "d", kBig, "sq", kSame},
    {"quotes.ini", "Sec", "M", "d", kBig, "\"mixed'", kSame},
    {"quotes.ini", "Sec", "O", "d", kBig, "\"", kSame},
    {"quotes.ini", "Sec", "E", "d", kBig, "", kSame},
    {"quotes.ini", "Sec", "I", "d", kBig, "a\"b\"", kSame},
    {"quotes.ini", "Sec", "DD", "d", kBig, "\"x\"", kSame},
    {"quotes.ini", "Sec", "SP", "d", kBig, " sp ", kSame},
    {"quoted_names.ini", "\"QS\"", "\"QK\"", "d", kBig, "v", kSame},
    {"quoted_names.ini", "QS", "\"QK\"", "d", kBig, "d", kSame},
    {"quoted_names.ini", "\"QS\"", "QK", "d", kBig, "d", kSame},
    {"case.ini", "SECTION", "KEY", "d", kBig, "v", kSame},
    {"case.ini", "Ａ", "k", "d", kBig, "fullwidth", kSame},
    {"case.ini", "ａ", "K", "d", kBig, "d", kSame},
    {"dup_section.ini", "Sec", "A", "d", kBig, "1", kSame},
    {"dup_section.ini", "SEC", "B", "d", kBig, "d", kSame},
    {"dup_empty_section.ini", "Sec", "K", "d", kBig, "d", kSame},
    {"dup_key.ini", "Sec", "K", "d", kBig, "first", kSame},
    // A line without "=" is no key, and "Sec]" is no header.
    {"no_equals.ini", "Sec", "Lonely", "d", kBig, "d", kSame},
    {"no_equals.ini", "Sec", "NV", "d", kBig, "later", "d"},
    {"no_equals.ini", "Sec", "Key", "d", kBig, "a=b", kSame},
    {"no_equals.ini", "Sec", "After", "d", kBig, "1", kSame},
    {"no_equals.ini", "Sec]", "After", "d", kBig, "d", kSame},
    {"no_equals.ini", "Sec", "", "d", kBig, "empty name", kSame},
    {"comments.ini", "Sec", ";Comment", "d", kBig, "d", "c"},
    {"comments.ini", "Sec", "Comment", "d", kBig, "d", kSame},
    {"comments.ini", "Sec", ";Spaced", "d", kBig, "d", "s"},
    {"comments.ini", "Sec", "k;ey", "d", kBig, "v", kSame},
    {"comments.ini", "Sec", "V", "d", kBig, ";not a comment", kSame},
    {"comments.ini", "Sec", "In", "d", kBig, "1", kSame},
    {"comments.ini", "Other", "In", "d", kBig, "d", kSame},
    {"comments.ini", ";Semi", "X", "d", kBig, "2", kSame},
    // A section name ends at the first "]" of its line.
    {"first_bracket.ini", "ReadUserInfo", "UserNameList", "d", kBig,
     "a,b", "d"},
    {"first_bracket.ini", "ReadUserInfo]", "UserNameList", "d", kBig,
     "d", "a,b"},
    {"first_bracket.ini", "a", "K", "d", kBig, "1", "d"},
    {"first_bracket.ini", "a]b", "K", "d", kBig, "d", "1"},
    {"first_bracket.ini", "Two", "T", "d", kBig, "2", "d"},
    {"first_bracket.ini", "Two][Headers", "T", "d", kBig, "d", "2"},
    {"first_bracket.ini", "[Open", "O", "d", kBig, "3", kSame},
    {"first_bracket.ini", "Tail", "K4", "d", kBig, "d", kSame},
    {"no_close_bracket.ini", "Open", "B", "d", kBig, "2", "d"},
    {"no_close_bracket.ini", "Sec", "B", "d", kBig, "d", "2"},
    // Keys above the first header are in no section; "[]" is "".
    {"before_section.ini", "", "Top", "d", kBig, "d", "before"},
    {"before_section.ini", " ", "Top", "d", kBig, "d", "before"},
    {"before_section.ini", "Sec", "Top", "d", kBig, "d", kSame},
    {"empty_section.ini", "", "Top", "d", kBig, "empty", "before"},
    // A trail byte "]" or letter is never taken for itself.
    {"cp932.ini", "表", "ソフト", "d", kBig, "ソフト表", kSame},
    {"cp932.ini", "表", "ア", "d", kBig, "カナ", kSame},
    {"cp932.ini", "表", "ヂ", "d", kBig, "d", kSame},
    {"cp932.ini", "ゾ", "Y", "d", kBig, "3", kSame},
    {"cp932.ini", "\x83", "Y", "d", kBig, "d", kSame},
    {"cp932.ini", "\x81\x5d", "X", "d", kBig, "1", "d"},
    {"cp932.ini", "ゾ", "X", "d", kBig, "d", "1"},
    {"nul_byte.ini", "Sec", "K", "d", kBig, "abc", kSame},
    {"nul_byte.ini", "Sec", "T", "d", kBig, "xy  ", kSame},
    {"nul_byte.ini", "Sec", "Q", "d", kBig, "q", kSame},
    {"nul_byte.ini", "Sec", "N", "d", kBig, "v", kSame},
    {"truncate.ini", "Sec", "K", "d", 1, "", kSame},
    {"truncate.ini", "Sec", "K", "d", 10, "012345678", kSame},
    {"truncate.ini", "Sec", "K", "d", 11, "0123456789", kSame},
    {"truncate.ini", "Sec", "J", "d", 5, "あい", kSame},
    // Wine leaves the byte of the cut character unwritten (the '#' fill).
    {"truncate.ini", "Sec", "J", "d", 4, "あ\x82", "あ#"},
    {"empty_value.ini", "Sec", "K", "d", kBig, "", kSame},
    {"empty_value.ini", "Sec", "B", "d", kBig, "", kSame},
};
// clang-format on

std::string Describe(const ProfileCase& row) {
  return std::string(row.pszFile) + " [" + row.pszSection + "] " + row.pszKey +
         " size " + std::to_string(row.nSize);
}

// Reads the row into a buffer of '#' with the portable reader or the
// backend, and checks the count, the bytes, the NUL and that nothing was
// written beyond nSize.
void ExpectRead(const ProfileCase& row, bool bPortable, const char* pszExpect) {
  std::string strPath = ProfileFixture(row.pszFile);
  std::string strData;
  if (PlatReadFile(strPath, strData) != kPlatReadOk) strData.clear();
  char szBuf[128];
  std::memset(szBuf, '#', sizeof szBuf - 1);
  szBuf[sizeof szBuf - 1] = '\0';
  unsigned nCount =
      bPortable ? ProfileGetString(strData, row.pszSection, row.pszKey,
                                   row.pszDefault, szBuf, row.nSize)
                : PlatGetPrivateProfileString(row.pszSection, row.pszKey,
                                              row.pszDefault, szBuf, row.nSize,
                                              strPath);
  EXPECT_EQ(nCount, std::strlen(pszExpect));
  EXPECT_STREQ(szBuf, pszExpect);
  EXPECT_EQ(szBuf[row.nSize], '#');
}

TEST(ProfileReader, FixturesReadAsTheWindowsReaderDoes) {
  for (const ProfileCase& row : kCases) {
    SCOPED_TRACE(Describe(row));
    ExpectRead(row, true, row.pszExpect);
  }
}

// On Windows the backend is Wine's reader: it must give the Windows value
// except where a difference is listed, and there exactly the listed value.
TEST(ProfileReader, BackendDiffersOnlyWhereListed) {
  for (const ProfileCase& row : kCases) {
    SCOPED_TRACE(Describe(row));
    bool bWine = IsWindows() && row.pszWine != nullptr;
    if (row.pszWine != nullptr) {
      EXPECT_STRNE(row.pszWine, row.pszExpect);
    }
    ExpectRead(row, false, bWine ? row.pszWine : row.pszExpect);
  }
}

TEST(ProfileReader, ZeroSizeLeavesTheBufferAlone) {
  char szBuf[] = "untouched";
  EXPECT_EQ(
      ProfileGetString("[Sec]\r\nKey=value\r\n", "Sec", "Key", "d", szBuf, 0),
      0u);
  EXPECT_STREQ(szBuf, "untouched");
  EXPECT_EQ(PlatGetPrivateProfileString("Sec", "Key", "d", szBuf, 0,
                                        ProfileFixture("basic.ini")),
            0u);
  EXPECT_STREQ(szBuf, "untouched");
}

TEST(ProfileReader, NameEqualsFoldsSingleByteLettersOnly) {
  struct {
    std::string strName;
    const char* pszName;
    bool bEqual;
  } const aCases[] = {
      {"ReadUserInfo", "readUSERinfo", true},
      {"abc", "abd", false},
      {"ab", "abc", false},
      {"", "", true},
      {std::string("ab\0cd", 5), "ab", true},
      {"ア", "ヂ", false},  // trail bytes 'A' and 'a'
      {"Ａ", "ａ", false},
  };
  for (const auto& c : aCases)
    EXPECT_EQ(ProfileNameEquals(c.strName, c.pszName), c.bEqual) << c.pszName;
}

}  // namespace
