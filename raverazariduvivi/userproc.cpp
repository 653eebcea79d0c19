#include "userproc.h"

#include <string_view>
#include <unordered_set>
#include <vector>

#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "iniaccess.h"
#include "raverazariduvivi_trace.h"

namespace {

// Takes list nKey of the cabinet into strList and tells whether strUser is
// in it (case-blind): 1 yes, 0 no, -9 bad argument.
int ReadList(const FolderIni& ini, int nKey, const std::string& strUser,
             std::string& strList) {
  int nExist = existUser(ini, nKey, strUser, strList, 1);
  return nExist < 0 ? -9 : nExist;
}

// An edit may not leave its list empty: -9 then, 1 otherwise.
int CheckEdited(const std::string& strKeyValue) {
  if (!strKeyValue.empty()) return 1;
  TRACE("strKeyValue is Empty.");
  return -9;
}

int AddToList(const FolderIni& ini, int nKey, const std::string& strUser,
              std::string& strKeyValue) {
  if (strUser.empty()) return -9;
  std::string strList;
  int nExist = ReadList(ini, nKey, strUser, strList);
  if (nExist == -9) return -9;
  strKeyValue = nExist == 1 ? strList : strList + strUser + ",";
  return nExist == 1 ? 0 : 1;
}

// Rename and delete change a list only when strUser is in it: strKeyValue
// then takes fnEdit of the list, else the list as read.
template <typename Edit>
int EditInList(const FolderIni& ini, int nKey, const std::string& strUser,
               std::string& strKeyValue, Edit fnEdit) {
  std::string strList;
  int nExist = ReadList(ini, nKey, strUser, strList);
  if (nExist != 1) {
    if (nExist == 0) strKeyValue = strList;
    return nExist;
  }
  strKeyValue = fnEdit(strList);
  return CheckEdited(strKeyValue);
}

int RenameInList(const FolderIni& ini, int nKey, const std::string& strOldUser,
                 const std::string& strNewUser, std::string& strKeyValue) {
  if (strOldUser.empty() || strNewUser.empty()) return -9;
  return EditInList(ini, nKey, strOldUser, strKeyValue,
                    [&](const std::string& strList) {
                      return ReplaceUserString(strList, strOldUser, strNewUser);
                    });
}

int DeleteFromList(const FolderIni& ini, int nKey, const std::string& strUser,
                   std::string& strKeyValue) {
  if (strUser.empty()) return -9;
  return EditInList(ini, nKey, strUser, strKeyValue,
                    [&](const std::string& strList) {
                      return DeleteUserString(strList, strUser);
                    });
}

// Appends every non-empty item of strIn to strOut unless strOut already has
// it (case counts). Returns true iff an item is "admin" in any case. In a
// regular list the items kept so far answer as a search of strOut would,
// in constant time; any other list is searched.
bool AppendNewItems(const std::string& strIn, std::string& strOut) {
  bool bAdmin = false;
  bool bRegular = IsRegularUserList(strIn);
  std::vector<std::string> vNames = NamesOf(strIn);
  std::unordered_set<std::string_view> setKept;
  for (std::string& strItem : vNames) {
    if (!bAdmin && MbEqualNoCase(strItem, kAdminName)) bAdmin = true;
    bool bNew = bRegular ? setKept.insert(strItem).second
                         : strOut.empty() ||
                               SearchUserString(strOut, strItem, 0, 1) == 0;
    if (bNew) strOut += strItem + ",";
  }
  return bAdmin;
}

}  // namespace

int addUser(const FolderIni& ini, int nKey, const std::string& strUser,
            std::string& strKeyValue) {
  TRACE("Start addUser()");
  TRACE_VALUE("strFolder", ini.strFolder);
  TRACE_INT("nKey", nKey);
  TRACE_VALUE("strUser", strUser);
  int nRet = AddToList(ini, nKey, strUser, strKeyValue);
  TRACE_VALUE("strKeyValue", strKeyValue);
  TRACE_INT("Return", nRet);
  return nRet;
}

int renameUser(const FolderIni& ini, int nKey, const std::string& strOldUser,
               const std::string& strNewUser, std::string& strKeyValue) {
  TRACE("Start renameUser()");
  TRACE_VALUE("strFolder", ini.strFolder);
  TRACE_INT("nKey", nKey);
  TRACE_VALUE("strOldUser", strOldUser);
  TRACE_VALUE("strNewUser", strNewUser);
  int nRet = RenameInList(ini, nKey, strOldUser, strNewUser, strKeyValue);
  TRACE_VALUE("strKeyValue", strKeyValue);
  TRACE_INT("Return", nRet);
  return nRet;
}

int deleteUser(const FolderIni& ini, int nKey, const std::string& strUser,
               std::string& strKeyValue) {
  TRACE("Start deleteUser()");
  TRACE_VALUE("strFolder", ini.strFolder);
  TRACE_INT("nKey", nKey);
  TRACE_VALUE("strUser", strUser);
  int nRet = DeleteFromList(ini, nKey, strUser, strKeyValue);
  TRACE_VALUE("strKeyValue", strKeyValue);
  TRACE_INT("Return", nRet);
  return nRet;
}

int TrimDuplicateUserList(const std::string& strInUserList,
                          std::string& strOutUserList) {
  TRACE("Start TrimDuplicateUserList()");
  TRACE_VALUE("strInUserList", strInUserList);
  strOutUserList.clear();
  bool bAdmin = AppendNewItems(strInUserList, strOutUserList);
  if (!bAdmin) strOutUserList.insert(0, std::string(kAdminName) + ",");
  int nRet = MbEqualNoCase(strOutUserList, strInUserList) ? 0 : bAdmin ? 1 : 2;
  TRACE_VALUE("strOutUserList", strOutUserList);
  TRACE_INT("Return", nRet);
  return nRet;
}
