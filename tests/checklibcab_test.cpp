#include "checklibcab.h"

#include <gtest/gtest.h>

#include "checklogic.h"
#include "commonproc.h"
#include "testutil.h"

namespace {

std::string NameList(const std::string& strList) {
  return CrLf({"[FolderInfo]", "NameList=" + strList});
}

// A data folder whose NameList spells Sales in lower case, and lists
// missing, unsafe and unreadable libraries beside real ones.
class Store : public ::testing::Test {
 protected:
  void SetUp() override {
    g_strDataPath = dir.Path("data");
    Write("data/Folder.ini",
          NameList("sales,Gone,ソ,.,..,a/b,a\\b,NoIni,Locked,NoKey,"));
    Write("data/Sales/Folder.ini", NameList("CabA,..,CabB"));
    Write("data/ソ/Folder.ini", NameList("表,"));
    Write("data/NoKey/Folder.ini", CrLf({"[FolderInfo]", "Other=x,"}));
    for (const char* pszDir :
         {"data/Sales/CabA", "data/Sales/CabB", "data/Sales/CabX",
          "data/Unlisted", "data/ソ/表", "data/a/b", "data/NoIni",
          "data/Locked/Folder.ini", "data/Locked/CabA"})
      ASSERT_TRUE(TestMakeDirs(dir.Path(pszDir)));
  }
  void TearDown() override { g_strDataPath.clear(); }
  void Write(const std::string& strPath, const std::string& strData) {
    ASSERT_TRUE(TestWriteFile(dir.Path(strPath), strData));
  }
  ScratchDir dir;
};

TEST_F(Store, Lists) {
  std::string strList = "stale";
  EXPECT_EQ(GetLibraryList(strList), 1);
  EXPECT_EQ(strList, "sales,Gone,ソ,.,..,a/b,a\\b,NoIni,Locked,NoKey,");
  const struct {
    const char *pszLibrary, *pszList;
    int nRet;
  } kCases[] = {{"Sales", "CabA,..,CabB,", 1},
                {"ソ", "表,", 1},
                {"NoIni", "", 0},
                {"NoKey", "", 0},
                {"Locked", "", -1},
                {"..", "", 0}};
  for (const auto& c : kCases) {
    strList = "stale";
    EXPECT_EQ(GetCabinetList(c.pszLibrary, strList), c.nRet) << c.pszLibrary;
    EXPECT_EQ(strList, c.pszList) << c.pszLibrary;
  }
}

// A library when pszCabinet is null, else a cabinet of the library. A
// parent list that cannot be read is -1, never "not there".
TEST_F(Store, LibrariesAndCabinets) {
  const struct {
    const char *pszLibrary, *pszCabinet;
    int nRet;
  } kCases[] = {
      {"Sales", nullptr, 1},    {"ソ", nullptr, 1},   {"NoIni", nullptr, 1},
      {"Unlisted", nullptr, 0}, {"Gone", nullptr, 0}, {"", nullptr, 0},
      {".", nullptr, 0},        {"..", nullptr, 0},   {"a/b", nullptr, 0},
      {"a\\b", nullptr, 0},     {"Sales", "CabA", 1}, {"Sales", "CabB", 1},
      {"Sales", "CabX", 0},     {"Sales", "..", 0},   {"Sales", "", 0},
      {"ソ", "表", 1},          {"Gone", "CabA", 0},  {"Locked", "CabA", -1},
      {"", "CabA", 0},          {"..", "Sales", 0}};
  for (const auto& c : kCases) {
    bool bCabinet = c.pszCabinet != nullptr;
    std::string strWant = JoinPath(g_strDataPath, c.pszLibrary);
    if (bCabinet) strWant = JoinPath(strWant, c.pszCabinet);
    std::string strPath = "untouched";
    EXPECT_EQ(bCabinet ? existCabinet(c.pszLibrary, c.pszCabinet, strPath)
                       : existLibrary(c.pszLibrary, strPath),
              c.nRet)
        << strWant;
    EXPECT_EQ(strPath, c.nRet == 1 ? strWant : "untouched") << strWant;
  }
}

TEST_F(Store, ListedInFolderIni) {
  const struct {
    const char *pszParent, *pszName;
    int nRet;
  } kCases[] = {{"data", "SALES", 1},     {"data", "Unlisted", 0},
                {"data", "", -1},         {"missing", "x", -1},
                {"data/NoIni", "x", 0},   {"data/NoKey", "x", 0},
                {"data/Locked", "x", -1}, {"data", "..", 0}};
  for (const auto& c : kCases)
    EXPECT_EQ(existInFolderIni(dir.Path(c.pszParent), c.pszName), c.nRet)
        << c.pszParent << " " << c.pszName;
}

TEST_F(Store, CabinetAuth) {
  Write("data/Sales/CabA/Folder.ini",
        CrLf({"[ReadUserInfo]", "UserNameList=", "ReadOnlyUserList="}));
  Write("data/Sales/CabB/Folder.ini", CrLf({"[Other]", "Key=1"}));
  ASSERT_TRUE(TestMakeDirs(dir.Path("data/Sales/CabX/Folder.ini")));
  const std::pair<const char*, int> kCases[] = {{"data/Sales/CabA", 1},
                                                {"data/Sales/CabB", 0},
                                                {"data/Sales/CabX", -9},
                                                {"data/Sales/None", 0}};
  for (const auto& [pszCabinet, nExpected] : kCases) {
    FolderIni ini;
    EXPECT_EQ(checkCabinetAuth(dir.Path(pszCabinet), ini), nExpected)
        << pszCabinet;
    // The bytes read are handed on for the rest of the cabinet's work.
    if (nExpected == 1) {
      EXPECT_EQ(ini.strData,
                TestReadFile(JoinPath(dir.Path(pszCabinet), "Folder.ini")));
    }
  }
}

}  // namespace
