#include "checklogic.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/platform.h"
#include "testutil.h"

namespace {

// Returns the path with every "/" turned into the platform's separator.
std::string Sep(std::string strPath) {
  for (char& ch : strPath)
    if (ch == '/') ch = PlatPathSeparator();
  return strPath;
}

TEST(IsSupportedVersion, ComparesAsCaseBlindStrings) {
  const std::pair<const char*, bool> kCases[] = {
      {"V50L50", true},   {"v50l50", true},  {"V50L60", true},
      {"V60L10", true},   {"V50L50A", true}, {"V50L40", false},
      {"V100L10", false}, {"V50", false},    {"", false}};
  for (auto [pszVersion, bOk] : kCases)
    EXPECT_EQ(IsSupportedVersion(pszVersion), bOk) << pszVersion;
}

TEST(MyGetPathFunc, CutsAtSeparatorsOnly) {
  const struct {
    const char *pszIn, *pszOut;
    int nMode;
    bool bRet;
  } kCases[] = {{"C:/App/Bin/Setup.exe", "C:/App/Bin", 0, true},
                {"C:/App/Bin//", "C:/App/Bin", 0, true},
                {"Setup.exe", "Setup.exe", 0, true},
                {"/Setup.exe", "", 0, false},
                {"", "", 0, false},
                {"D:/Data//", "D:/Data", 1, true},
                {"D:/Data", "D:/Data", 1, true},
                {"///", "", 1, false},
                // ソ ends in the byte 0x5C, which is no separator.
                {"D:/Data/ソ", "D:/Data", 0, true},
                {"D:/ソ//", "D:/ソ", 1, true},
                {"D:/ソ/", "D:/ソ", 0, true}};
  for (const auto& c : kCases) {
    std::string strPath = Sep(c.pszIn);
    EXPECT_EQ(MyGetPathFunc(strPath, c.nMode), c.bRet) << c.pszIn;
    EXPECT_EQ(strPath, Sep(c.pszOut)) << c.pszIn;
  }
}

TEST(checkUserName, RulesWithoutRegistration) {
  // clang-format off
  const struct { std::string strName; int nRet; } kCases[] = {
      {std::string(300, 'a'), 1}, {std::string(301, 'a'), -9}, {"", -9},
      {std::string(302, '\x82'), -9},  // 151 characters, but bytes count
      {"admin", -1}, {"ADMIN", -1}, {"admin2", 1}, {"a　b", -2},
      // Trail bytes 0x5C and 0x7C, and 0x81 0x81 0x40 (＝ then @).
      {"ソ", 1}, {"ポ", 1}, {"＝@", 1}, {"ｱｲ", 1}};
  // clang-format on
  for (const auto& c : kCases) {
    std::string strName = c.strName;
    EXPECT_EQ(checkUserName(strName, 0), c.nRet) << c.strName;
    EXPECT_EQ(strName, c.strName);
  }
  for (char ch : std::string("\\/:,;&?\"<>|'.*! ")) {
    std::string strName = std::string("x") + ch + "y";
    EXPECT_EQ(checkUserName(strName, 0), -2) << strName;
  }
}

class RegisteredUsers : public ::testing::Test {
 protected:
  void SetUp() override { g_strDataPath = dir.strRoot; }
  void TearDown() override { g_strDataPath.clear(); }
  void WriteUserIni(const std::string& strBody) {
    ASSERT_TRUE(TestWriteFile(dir.Path("User.ini"), strBody));
  }
  ScratchDir dir;
};

TEST_F(RegisteredUsers, TakeTheSpellingOfUserIni) {
  WriteUserIni(CrLf({"[UserInfo]", "UserList=admin,taro,Hanako,ソ"}));
  const struct {
    const char *pszName, *pszAfter;
    int nRet;
  } kCases[] = {{"TARO", "taro", 1},
                {"hanako", "Hanako", 1},
                {"ソ", "ソ", 1},
                {"jiro", "jiro", 0},
                {"admin", "admin", -1}};
  for (const auto& c : kCases) {
    std::string strName = c.pszName;
    EXPECT_EQ(checkUserName(strName, 1), c.nRet) << c.pszName;
    EXPECT_EQ(strName, c.pszAfter);
  }
  // An empty UserList or no User.ini: nobody is registered.
  WriteUserIni(CrLf({"[UserInfo]", "UserList="}));
  std::string strName = "taro";
  EXPECT_EQ(checkUserName(strName, 1), 0);
  ASSERT_TRUE(PlatDeleteFile(dir.Path("User.ini")));
  EXPECT_EQ(checkUserName(strName, 1), 0);
}

// An installation in a scratch folder: inst holds the program and
// Tenbo2Lib.ini, data the data folder with its User.ini. The refusals that
// the tool's messages tell apart are left to the end-to-end cases.
TEST(Installation, FindsTheDataFolder) {
  ScratchDir dir;
  ASSERT_TRUE(TestWriteFile(dir.Path("inst/TenboEnvSet.exe"), ""));
  ASSERT_TRUE(TestWriteFile(dir.Path("data/User.ini"), ""));
  ASSERT_TRUE(TestMakeDirs(dir.Path("dirini/User.ini")));
  ASSERT_TRUE(TestSetAppPathsKey(dir.Path("inst/TenboEnvSet.exe"), "V50L50"));
  const std::string strData = dir.Path("data");
  const std::string strDirIni = dir.Path("dirini");
  const char chSep = PlatPathSeparator();
  // DataFolder, result, g_strDataPath; 258 bytes is the longest read whole.
  const std::tuple<std::string, int, std::string> kCases[] = {
      {strData, 1, strData},
      {strData + chSep + chSep, 1, strData},
      {"", -1, ""},
      {dir.Path("data/User.ini"), -2, ""},
      {strDirIni, 1, strDirIni},
      {strData + std::string(258 - strData.size(), chSep), 1, strData},
      {strData + std::string(259 - strData.size(), chSep), -9, ""}};
  for (const auto& [strDataFolder, nRet, strDataPath] : kCases) {
    g_strDataPath.clear();
    ASSERT_TRUE(
        TestWriteFile(dir.Path("inst/Tenbo2Lib.ini"),
                      CrLf({"[Common]", "DataFolder=" + strDataFolder})));
    EXPECT_EQ(checkCSServerInstall(), nRet) << strDataFolder;
    EXPECT_EQ(g_strDataPath, strDataPath);
  }
  TestDeleteAppPathsKey();
  g_strDataPath.clear();
}

}  // namespace
