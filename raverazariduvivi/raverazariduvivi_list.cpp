#include "raverazariduvivi_list.h"

#include <vector>

#include "checklibcab.h"
#include "checklogic.h"
#include "commonproc.h"
#include "iniaccess.h"
#include "raverazariduvivi_common.h"
#include "raverazariduvivi_result.h"
#include "raverazariduvivi_trace.h"

namespace {

// Adds one LST,OK record to a cabinet's records, which go to the result
// file together in one write.
void AddLst(std::string& strRecords, int nAccess, const std::string& strUser,
            const std::string& strLib, const std::string& strCab) {
  if (!strRecords.empty()) strRecords += "\n";
  strRecords +=
      SetResultLog(kLogLst, kLogOk, nAccess, strUser, strLib, strCab, "");
}

int FailList(const std::string& strLib, const std::string& strCab,
             const std::string& strMsg) {
  LogOut(SetResultLog(kLogLst, kLogNg, kLogNone, "", strLib, strCab, strMsg));
  CountCabinet(false);
  TRACE_VALUE_AS("listCabinetAuth", "Error:", strMsg);
  return -1;
}

// A cabinet without access lists: every registered user has RW, the
// general viewer R.
int ListOpenCabinet(const std::string& strLib, const std::string& strCab) {
  const UserListIndex* pRegistered = nullptr;
  if (GetRegisteredUsers(g_strDataPath, pRegistered) != 1)
    return FailList(strLib, strCab, "ユーザー登録情報取得に失敗");
  std::string strRecords;
  for (const std::string& strUser : NamesOf(pRegistered->strList))
    AddLst(strRecords, kLogRW, strUser, strLib, strCab);
  AddLst(strRecords, kLogR, "!readuser", strLib, strCab);
  LogOut(strRecords);
  CountCabinet(true);
  return 1;
}

// Each update user, RW when the browse list has the name too (case-blind).
void ListUpdateUsers(const std::string& strRW, const std::string& strRO,
                     const std::string& strLib, const std::string& strCab,
                     std::string& strRecords) {
  UserListIndex browse;
  IndexUserList(strRO, 0, browse);
  for (const std::string& strUser : NamesOf(strRW))
    AddLst(strRecords, IsInUserList(browse, strUser) ? kLogRW : kLogW, strUser,
           strLib, strCab);
}

// Each browse user that the update list does not have (case-blind).
void ListBrowseUsers(const std::string& strRW, const std::string& strRO,
                     const std::string& strLib, const std::string& strCab,
                     std::string& strRecords) {
  UserListIndex update;
  IndexUserList(strRW, 0, update);
  for (const std::string& strUser : NamesOf(strRO)) {
    if (strUser == kGeneralViewerName)
      AddLst(strRecords, kLogR, "!readuser", strLib, strCab);
    else if (!IsInUserList(update, strUser))
      AddLst(strRecords, kLogR, strUser, strLib, strCab);
  }
}

}  // namespace

int listCabinetAuth(const std::string& strLib, const std::string& strCab,
                    const std::string& strCabinetPath, int bListAll) {
  TRACE("Start listCabinetAuth()");
  TRACE_VALUE("\tstrLib", strLib);
  TRACE_VALUE("\tstrCab", strCab);
  TRACE_VALUE("\tstrCabinetPath", strCabinetPath);
  TRACE_INT("\tbListAll", bListAll);
  TRACE("Call checkCabinetAuth()");
  FolderIni ini;
  int nAuth = checkCabinetAuth(strCabinetPath, ini);
  if (nAuth == -9) return FailList(strLib, strCab, kMsgNoAuth);
  if (nAuth == 0) {
    if (bListAll == 0) return 0;
    return ListOpenCabinet(strLib, strCab);
  }
  std::string strRW, strRO;
  TRACE("Call GetIniValue(RW)");
  int nRW = GetIniValue(ini.strData, kKeyUserNameList, strRW);
  TRACE("Call GetIniValue(RO)");
  int nRO = GetIniValue(ini.strData, kKeyReadOnlyUserList, strRO);
  if (nRW < 0 || nRO < 0) return FailList(strLib, strCab, kMsgUnknown);
  std::string strRecords;
  ListUpdateUsers(strRW, strRO, strLib, strCab, strRecords);
  ListBrowseUsers(strRW, strRO, strLib, strCab, strRecords);
  LogOut(strRecords);
  TRACE("Success this Canibet.");
  CountCabinet(true);
  return 1;
}

namespace {

// Works out the access of a user in a cabinet with access lists; false
// when a list cannot be read.
bool UserAccess(const std::string& strUsername, const FolderIni& ini,
                int& nAccess) {
  std::string strUnused;
  nAccess = kLogNone;
  TRACE_AS("listAuth", "Call existUser()");
  int nRO = existUser(ini, kKeyReadOnlyUserList, strUsername, strUnused, 0);
  if (nRO == -1) return false;
  if (nRO == 1) nAccess = kLogR;
  TRACE_AS("listAuth", "Call existUser()");
  int nRW = existUser(ini, kKeyUserNameList, strUsername, strUnused, 0);
  if (nRW == -1) return false;
  bool bViewer = strUsername == kGeneralViewerName;
  if (nRW == 1 && !bViewer) nAccess = nAccess == kLogR ? kLogRW : kLogW;
  if (nRW == 1 && bViewer && nAccess != kLogR) nAccess = kLogW;
  return true;
}

}  // namespace

int listAuth(const std::string& strUsername, const std::string& strLib,
             const std::string& strCab, const std::string& strCabinetPath) {
  TRACE("Start listAuth()");
  TRACE_VALUE("\tstrUsername", strUsername);
  TRACE_VALUE("\tstrLib", strLib);
  TRACE_VALUE("\tstrCab", strCab);
  TRACE_VALUE("\tstrCabinetPath", strCabinetPath);
  TRACE("Call checkCabinetAuth()");
  FolderIni ini;
  int nAuth = checkCabinetAuth(strCabinetPath, ini);
  int nAccess = kLogNone;
  bool bRead = nAuth != -9;
  if (nAuth == 0)
    nAccess = strUsername == kGeneralViewerName ? kLogR : kLogRW;
  else if (bRead)
    bRead = UserAccess(strUsername, ini, nAccess);
  if (!bRead) {
    LogOut(SetResultLog(kLogUsr, kLogNg, kLogNone, strUsername, strLib, strCab,
                        kMsgNoAuth));
    CountCabinet(false);
    TRACE_VALUE("Error:", kMsgNoAuth);
    return -1;
  }
  LogOut(
      SetResultLog(kLogUsr, kLogOk, nAccess, strUsername, strLib, strCab, ""));
  CountCabinet(true);
  return 1;
}
