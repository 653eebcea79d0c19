#include "raverazariduvivi_list.h"

#include <vector>

#include "checklibcab.h"
#include "checklogic.h"
#include "commonproc.h"
#include "iniaccess.h"
#include "raverazariduvivi_common.h"
#include "raverazariduvivi_report.h"
#include "raverazariduvivi_result.h"
#include "raverazariduvivi_trace.h"

namespace {

// The general viewer's name in LST records.
const char kViewerRecordName[] = "!readuser";

// Writes a cabinet's LST,OK records in one write, notes the cabinet for
// the report and counts it. The general viewer's browse access is recorded
// as "!readuser"; a viewer name in the update list keeps its list name.
int ListRows(int nState, const std::vector<ReportAccess>& vRows,
             const std::string& strLib, const std::string& strCab) {
  std::string strRecords;
  for (const ReportAccess& row : vRows) {
    bool bViewer = row.strUser == kGeneralViewerName && row.nAccess == kLogR;
    if (!strRecords.empty()) strRecords += "\n";
    strRecords += SetResultLog(kLogLst, kLogOk, row.nAccess,
                               bViewer ? kViewerRecordName : row.strUser,
                               strLib, strCab, "");
  }
  LogOut(strRecords);
  ReportCabinetListed(strLib, strCab, nState, "", vRows);
  CountCabinet(true);
  return 1;
}

int FailList(const std::string& strLib, const std::string& strCab,
             const std::string& strMsg) {
  LogOut(SetResultLog(kLogLst, kLogNg, kLogNone, "", strLib, strCab, strMsg));
  ReportCabinetListed(strLib, strCab, kReportFailed, strMsg, {});
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
  std::vector<ReportAccess> vRows;
  for (const std::string& strUser : NamesOf(pRegistered->strList))
    vRows.push_back({strUser, kLogRW});
  vRows.push_back({kGeneralViewerName, kLogR});
  return ListRows(kReportNoLists, vRows, strLib, strCab);
}

// Each update user, RW when the browse list has the name too (case-blind).
void ListUpdateUsers(const std::string& strRW, const std::string& strRO,
                     std::vector<ReportAccess>& vRows) {
  UserListIndex browse;
  IndexUserList(strRO, 0, browse);
  for (const std::string& strUser : NamesOf(strRW))
    vRows.push_back({strUser, IsInUserList(browse, strUser) ? kLogRW : kLogW});
}

// Each browse user that the update list does not have (case-blind); the
// general viewer always.
void ListBrowseUsers(const std::string& strRW, const std::string& strRO,
                     std::vector<ReportAccess>& vRows) {
  UserListIndex update;
  IndexUserList(strRW, 0, update);
  for (const std::string& strUser : NamesOf(strRO))
    if (strUser == kGeneralViewerName || !IsInUserList(update, strUser))
      vRows.push_back({strUser, kLogR});
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
  std::vector<ReportAccess> vRows;
  ListUpdateUsers(strRW, strRO, vRows);
  ListBrowseUsers(strRW, strRO, vRows);
  TRACE("Success this Canibet.");
  return ListRows(kReportLists, vRows, strLib, strCab);
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
