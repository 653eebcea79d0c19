#include "userproc.h"

#include <gtest/gtest.h>

#include <random>

#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "iniaccess.h"
#include "listgen.h"
#include "platform/platform.h"
#include "testutil.h"

namespace {

enum Edit { kAdd, kDelete, kRename };

const char* const kNoFile = "<missing>";

struct EditCase {
  std::string strFolderIni;  // kNoFile: the cabinet has no Folder.ini
  Edit edit;
  int nKey;
  const char *pszUser, *pszNewUser;
  int nRet;
  const char* pszList;  // the list handed back when nRet is not -9
};

// A cabinet's Folder.ini body with this update list and a fixed browse list.
std::string Cabinet(const std::string& strUpdateList) {
  return CrLf({"[ReadUserInfo]", "UserNameList=" + strUpdateList,
               "ReadOnlyUserList=admin,Guest,"});
}

int RunEdit(const EditCase& c, const FolderIni& ini, std::string& strList) {
  if (c.edit == kAdd) return addUser(ini, c.nKey, c.pszUser, strList);
  if (c.edit == kDelete) return deleteUser(ini, c.nKey, c.pszUser, strList);
  return renameUser(ini, c.nKey, c.pszUser, c.pszNewUser, strList);
}

// The edits take the list from the bytes read and never touch the file.
TEST(UserListEdits, TakeTheListAndHandBackTheEdit) {
  const std::string kList = Cabinet("admin,alice,");
  const EditCase kCases[] = {
      {kList, kAdd, 1, "dave", "", 1, "admin,alice,dave,"},
      {kList, kAdd, 1, "Alice", "", 0, "admin,alice,"},
      {kList, kAdd, 2, "dave", "", 1, "admin,Guest,dave,"},
      {kList, kAdd, 3, "dave", "", -9, ""},
      {kList, kAdd, 1, "", "", -9, ""},
      {kNoFile, kAdd, 1, "dave", "", 1, "dave,"},
      {kList, kDelete, 1, "alice", "", 1, "admin,"},
      {kList, kDelete, 1, "bob", "", 0, "admin,alice,"},
      {kList, kDelete, 4, "alice", "", -9, ""},
      {Cabinet("alice,"), kDelete, 1, "alice", "", -9, ""},
      {Cabinet("admin,Alice,"), kDelete, 1, "alice", "", 1, "admin,Alice,"},
      {kNoFile, kDelete, 1, "alice", "", 0, ""},
      {Cabinet("admin,alice,bob,"), kRename, 1, "ALICE", "carol", 1,
       "admin,carol,bob,"},
      {kList, kRename, 1, "bob", "carol", 0, "admin,alice,"},
      {kList, kRename, 1, "alice", "", -9, ""}};
  for (const EditCase& c : kCases) {
    FolderIni ini;
    ini.strFolder = "cabinet";
    ini.bExists = c.strFolderIni != kNoFile;
    if (ini.bExists) ini.strData = c.strFolderIni;
    std::string strList;
    EXPECT_EQ(RunEdit(c, ini, strList), c.nRet)
        << c.edit << " " << c.pszUser << " in " << c.strFolderIni;
    if (c.nRet != -9) {
      EXPECT_EQ(strList, c.pszList) << c.pszUser;
    }
  }
}

TEST(TrimDuplicateUserList, DropsDuplicatesAndKeepsAdminInFront) {
  const struct {
    const char *pszIn, *pszOut;
    int nRet;
  } kCases[] = {{"admin,alice,,alice,Alice", "admin,alice,Alice,", 1},
                {"alice,ADMIN,", "alice,ADMIN,", 0},
                {"ADMIN,Admin,", "ADMIN,Admin,", 0},
                {"alice,", "admin,alice,", 2},
                {"", "admin,", 2},
                {"admin", "admin,", 1},
                {",,admin,,", "admin,", 1}};
  for (const auto& c : kCases) {
    std::string strOut = "stale,";
    EXPECT_EQ(TrimDuplicateUserList(c.pszIn, strOut), c.nRet) << c.pszIn;
    EXPECT_EQ(strOut, c.pszOut) << c.pszIn;
  }
}

// The reference tidy: every non-empty item in order unless the output so
// far already holds it as a whole item (case counts, found by a search at
// every character boundary), "admin," in front when no item is admin in any
// case. Quadratic, and plainly what the tidy means.
int ReferenceTidy(const std::string& strIn, std::string& strOut) {
  strOut.clear();
  bool bAdmin = false;
  for (const std::string& strItem : NamesOf(strIn)) {
    bAdmin = bAdmin || MbEqualNoCase(strItem, "admin");
    std::string strHay = "," + strOut;
    std::string strNeedle = "," + strItem + ",";
    bool bHave = false;
    for (size_t nPos = 0; nPos < strHay.size() && !bHave;
         nPos += PlatCharLen(strHay, nPos))
      bHave = strHay.compare(nPos, strNeedle.size(), strNeedle) == 0;
    if (!bHave) strOut += strItem + ",";
  }
  if (!bAdmin) strOut.insert(0, "admin,");
  return MbEqualNoCase(strOut, strIn) ? 0 : bAdmin ? 1 : 2;
}

TEST(TrimDuplicateUserList, AgreesWithTheReferenceOnRandomLists) {
  std::mt19937 rng(8122026);
  for (int nCase = 0; nCase < 5000; ++nCase) {
    std::string strIn = TestRandomList(rng, 16);
    std::string strWant, strGot = "stale,";
    int nWant = ReferenceTidy(strIn, strWant);
    ASSERT_EQ(TrimDuplicateUserList(strIn, strGot), nWant) << strIn;
    ASSERT_EQ(strGot, strWant) << strIn;
  }
}

}  // namespace
