#include "checklogic.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "testutil.h"

namespace {

// Returns the path with every "/" turned into the platform's separator.
std::string Sep(std::string strPath) {
  for (char& ch : strPath)
    if (ch == '/') ch = PlatPathSeparator();
  return strPath;
}

std::string Repeat(const std::string& strUnit, int nTimes) {
  std::string strOut;
  for (int n = 0; n < nTimes; ++n) strOut += strUnit;
  return strOut;
}

TEST(IsSupportedVersion, ComparesAsCaseBlindStrings) {
  const struct {
    const char* pszVersion;
    bool bOk;
  } kCases[] = {{"V50L50", true},   {"v50l50", true},  {"V50L60", true},
                {"V60L10", true},   {"V50L50A", true}, {"V50L40", false},
                {"V100L10", false}, {"V50", false},    {"", false}};
  for (const auto& c : kCases)
    EXPECT_EQ(IsSupportedVersion(c.pszVersion), c.bOk) << c.pszVersion;
}

TEST(MyGetPathFunc, CutsAtSeparatorsOnly) {
  const struct {
    const char* pszIn;
    int nMode;
    const char* pszOut;
    bool bRet;
  } kCases[] = {{"C:/App/Bin/Setup.exe", 0, "C:/App/Bin", true},
                {"C:/App/Bin//", 0, "C:/App/Bin", true},
                {"Setup.exe", 0, "Setup.exe", true},
                {"/Setup.exe", 0, "", false},
                {"", 0, "", false},
                {"D:/Data//", 1, "D:/Data", true},
                {"D:/Data", 1, "D:/Data", true},
                {"///", 1, "", false},
                // ソ ends in the byte 0x5C, which is no separator.
                {"D:/Data/ソ", 0, "D:/Data", true},
                {"D:/ソ", 1, "D:/ソ", true},
                {"D:/ソ//", 1, "D:/ソ", true},
                {"D:/ソ/", 0, "D:/ソ", true},
                {"ソ", 0, "ソ", true}};
  for (const auto& c : kCases) {
    std::string strPath = Sep(c.pszIn);
    EXPECT_EQ(MyGetPathFunc(strPath, c.nMode), c.bRet) << c.pszIn;
    EXPECT_EQ(strPath, Sep(c.pszOut)) << c.pszIn;
  }
}

TEST(checkMutex, HeldUntilTheProcessEnds) {
  EXPECT_EQ(checkMutex(), 1);
  EXPECT_EQ(checkMutex(), 0);
}

TEST(checkUserName, RulesWithoutRegistration) {
  // clang-format off
  const struct { std::string strName; int nRet; } kCases[] = {
      {std::string(300, 'a'), 1}, {std::string(301, 'a'), -9}, {"", -9},
      {Repeat("あ", 150), 1},     {Repeat("あ", 151), -9},
      {"admin", -1}, {"Admin", -1}, {"ADMIN", -1}, {"admin2", 1},
      {"taro.yamada", -2}, {"a　b", -2},
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

TEST_F(RegisteredUsers, TakesTheSpellingOfUserIni) {
  WriteUserIni(CrLf({"[UserInfo]", "UserList=admin,taro,Hanako,ソ"}));
  const struct {
    const char* pszName;
    int nRet;
    const char* pszAfter;
  } kCases[] = {{"TARO", 1, "taro"},
                {"hanako", 1, "Hanako"},
                {"ソ", 1, "ソ"},
                {"jiro", 0, "jiro"},
                {"admin", -1, "admin"}};
  for (const auto& c : kCases) {
    std::string strName = c.pszName;
    EXPECT_EQ(checkUserName(strName, 1), c.nRet) << c.pszName;
    EXPECT_EQ(strName, c.pszAfter);
  }
}

TEST_F(RegisteredUsers, NoListMeansNotRegistered) {
  const std::string kBodies[] = {CrLf({"[UserInfo]", "UserList="}), ""};
  for (const std::string& strBody : kBodies) {
    WriteUserIni(strBody);
    std::string strName = "taro";
    EXPECT_EQ(checkUserName(strName, 1), 0) << strBody;
  }
  ASSERT_TRUE(PlatDeleteFile(dir.Path("User.ini")));
  std::string strName = "taro";
  EXPECT_EQ(checkUserName(strName, 1), 0);
}

// An installation in a scratch folder: inst holds the program and
// Tenbo2Lib.ini, data the data folder with its User.ini.
class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TestWriteFile(dir.Path("inst/TenboEnvSet.exe"), ""));
    ASSERT_TRUE(TestWriteFile(dir.Path("bare/TenboEnvSet.exe"), ""));
    ASSERT_TRUE(TestWriteFile(dir.Path("data/User.ini"), ""));
    ASSERT_TRUE(TestMakeDirs(dir.Path("nouser")));
    ASSERT_TRUE(TestMakeDirs(dir.Path("dirini/User.ini")));
  }
  void TearDown() override {
    TestDeleteAppPathsKey();
    g_strDataPath.clear();
  }
  // Registers strExe (relative, or "" for an empty default value) and
  // writes DataFolder, then runs the check.
  int Check(const std::string& strExe, const std::string& strVersion,
            const std::string& strDataFolder) {
    std::string strIni = CrLf({"[Common]", "DataFolder=" + strDataFolder});
    bool bOk =
        TestWriteFile(dir.Path("inst/Tenbo2Lib.ini"), strIni) &&
        TestSetAppPathsKey(strExe.empty() ? "" : dir.Path(strExe), strVersion);
    EXPECT_TRUE(bOk);
    return checkCSServerInstall();
  }
  ScratchDir dir;
};

TEST_F(Installation, FindsTheDataFolder) {
  const std::string strData = dir.Path("data");
  const std::string strDirIni = dir.Path("dirini");
  const std::string strExe = "inst/TenboEnvSet.exe";
  const char chSep = PlatPathSeparator();
  const struct {
    std::string strExe, strVersion, strDataFolder;
    int nRet;
    std::string strDataPath;
  } kCases[] = {
      {strExe, "V50L50", strData, 1, strData},
      {strExe, "v60l10", strData + chSep + chSep, 1, strData},
      {"", "V50L50", strData, 0, ""},
      {"inst/Missing.exe", "V50L50", strData, 0, ""},
      {strExe, "", strData, -3, ""},
      {strExe, "V50L40", strData, -3, ""},
      {"bare/TenboEnvSet.exe", "V50L50", strData, -9, ""},
      {strExe, "V50L50", "", -1, ""},
      {strExe, "V50L50", dir.Path("data/User.ini"), -2, ""},
      {strExe, "V50L50", dir.Path("missing"), -2, ""},
      {strExe, "V50L50", dir.Path("nouser"), -4, ""},
      {strExe, "V50L50", strDirIni, 1, strDirIni},
      // 258 bytes is the longest DataFolder read whole.
      {strExe, "V50L50", strData + std::string(258 - strData.size(), chSep), 1,
       strData},
      {strExe, "V50L50", strData + std::string(259 - strData.size(), chSep), -9,
       ""}};
  for (const auto& c : kCases) {
    g_strDataPath.clear();
    EXPECT_EQ(Check(c.strExe, c.strVersion, c.strDataFolder), c.nRet)
        << c.strExe << " " << c.strVersion << " " << c.strDataFolder;
    EXPECT_EQ(g_strDataPath, c.strDataPath);
  }
}

TEST_F(Installation, MissingKeyIsNotInstalled) {
  TestDeleteAppPathsKey();
  EXPECT_EQ(checkCSServerInstall(), 0);
}

}  // namespace
