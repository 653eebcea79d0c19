#include "raverazariduvivi_ops.h"

#include <functional>
#include <vector>

#include "checklibcab.h"
#include "checklogic.h"
#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "iniaccess.h"
#include "platform/platform.h"
#include "raverazariduvivi_backup.h"
#include "raverazariduvivi_common.h"
#include "raverazariduvivi_result.h"
#include "raverazariduvivi_trace.h"
#include "userproc.h"

namespace {

const char kMsgAddRW[] = "ユーザー追加に失敗(更新)";
const char kMsgAddR[] = "ユーザー追加に失敗(閲覧)";

// The access letter of list nKey in records.
int AccessOf(int nKey) { return nKey == kKeyUserNameList ? kLogW : kLogR; }

// Writes the one NG record of a failed cabinet and counts it.
int Fail(const char* pszFunc, int nType, int nAccess,
         const std::string& strUser, const std::string& strLib,
         const std::string& strCab, const std::string& strMsg) {
  LogOut(SetResultLog(nType, kLogNg, nAccess, strUser, strLib, strCab, strMsg));
  CountCabinet(false);
  TRACE_VALUE_AS(pszFunc, "Error:", strMsg);
  return -1;
}

// Writes the records prepared for a cabinet whose rewrite succeeded, in
// order and in one write, and counts it.
int Succeed(const char* pszFunc, const std::vector<std::string>& vPending) {
  std::string strRecords;
  for (const std::string& strRecord : vPending) {
    if (strRecord.empty()) continue;
    if (!strRecords.empty()) strRecords += "\n";
    strRecords += strRecord;
  }
  LogOut(strRecords);
  CountCabinet(true);
  TRACE_AS(pszFunc, "Success this Canibet.");
  return 1;
}

// The records prepared while a cabinet is edited: admin added to the
// update list, to the browse list, the user's change in each list.
struct Pending {
  std::string strAdminRW, strAdminR, strRW, strRO;
  bool bChanged = false;
};

std::vector<std::string> InOrder(const Pending& p) {
  return {p.strAdminRW, p.strAdminR, p.strRW, p.strRO};
}

// Reads the cabinet's Folder.ini into ini and asks, for the operation
// pszFunc, whether it has access lists: 1 yes, 0 no (the cabinet is passed
// over), -9 Folder.ini cannot be read or the check failed.
int CabinetAuth(const char* pszFunc, const std::string& strCabinetPath,
                FolderIni& ini) {
  TRACE_AS(pszFunc, "Call checkCabinetAuth()");
  int nAuth = checkCabinetAuth(strCabinetPath, ini);
  if (nAuth == 0) TRACE_AS(pszFunc, "Skip: Not found Auth.");
  return nAuth;
}

// Writes both new lists of an edited cabinet in one rewrite. Returns 0 when
// nothing changed (nothing is written), else the rewrite's result.
int WriteChanged(const char* pszFunc, const FolderIni& ini,
                 const std::string& strNewRW, const std::string& strNewRO,
                 const Pending& p) {
  if (!p.bChanged) {
    TRACE_AS(pszFunc, "Skip: No changed Auth.");
    return 0;
  }
  TRACE_AS(pszFunc, "Call WriteAndCheckFolderIni()");
  return WriteAndCheckFolderIni(ini, strNewRW, strNewRO, kIniWrite);
}

// Tidies one edited list into strNewList and prepares the admin record
// when admin had to be added. Returns the tidy result.
int TidyList(const char* pszFunc, const std::string& strWorking, int nKey,
             const std::string& strLib, const std::string& strCab, Pending& p,
             std::string& strNewList) {
  TRACE_AS(pszFunc, "Call TrimDuplicateUserList()");
  int nTrim = TrimDuplicateUserList(strWorking, strNewList);
  if (nTrim == 2) {
    std::string& strAdmin =
        nKey == kKeyUserNameList ? p.strAdminRW : p.strAdminR;
    strAdmin = SetResultLog(kLogAdd, kLogOk, AccessOf(nKey), kAdminName, strLib,
                            strCab, "");
  }
  if (nTrim != 0) p.bChanged = true;
  return nTrim;
}

std::string& UserRecord(Pending& p, int nKey) {
  return nKey == kKeyUserNameList ? p.strRW : p.strRO;
}

// ---- The per-cabinet pipeline of /set, /setforce, /rename, /cleanup ------

// One changing command on one cabinet, as its NG records show it.
struct CabinetJob {
  const char* pszFunc;  // the operation, for traces
  int nType;            // code word of an NG record
  int nAccess;          // its access field, unless a step gives another
  std::string strUser;  // its user field
  std::string strLib, strCab, strPath;
  bool bCheckAuth = true;  // false: cabinets without access lists too
};

// The access field and message of the NG record of a failed step.
struct StepFailure {
  int nAccess;
  std::string strMsg;
};

// What a command brings to the pipeline: a step before the edits (ini is
// read unless the job skips the access-list check), the edit of list nKey
// into strNew, and the message of a failed rewrite. A step returns false
// with fail set when the cabinet fails.
struct JobSteps {
  std::function<bool(FolderIni& ini, StepFailure& fail)> fnPrepare;
  std::function<bool(int nKey, const FolderIni& ini, Pending& p,
                     std::string& strNew, StepFailure& fail)>
      fnEdit;
  std::string (*fnWriteMessage)(int nRet);
};

int FailJob(const CabinetJob& job, int nAccess, const std::string& strMsg) {
  return Fail(job.pszFunc, job.nType, nAccess, job.strUser, job.strLib,
              job.strCab, strMsg);
}

// Checks the access lists, edits both lists, writes them in one rewrite
// when they changed, and writes the OK records or the one NG record.
int RunCabinetJob(const CabinetJob& job, const JobSteps& steps) {
  FolderIni ini;
  if (job.bCheckAuth) {
    int nAuth = CabinetAuth(job.pszFunc, job.strPath, ini);
    if (nAuth == -9) return FailJob(job, job.nAccess, kMsgNoAuth);
    if (nAuth == 0) return 0;
  }
  StepFailure fail{job.nAccess, ""};
  Pending p;
  std::string strNewRW, strNewRO;
  if (!steps.fnPrepare(ini, fail) ||
      !steps.fnEdit(kKeyUserNameList, ini, p, strNewRW, fail) ||
      !steps.fnEdit(kKeyReadOnlyUserList, ini, p, strNewRO, fail))
    return FailJob(job, fail.nAccess, fail.strMsg);
  int nWrite = WriteChanged(job.pszFunc, ini, strNewRW, strNewRO, p);
  if (nWrite == 0) return 0;
  if (nWrite != 1)
    return FailJob(job, job.nAccess, steps.fnWriteMessage(nWrite));
  return Succeed(job.pszFunc, InOrder(p));
}

std::string UpdateMessage(int) { return kMsgUpdate; }

// A step that fails with strMsg unless bOk.
bool Step(bool bOk, const char* pszMsg, StepFailure& fail) {
  if (!bOk) fail.strMsg = pszMsg;
  return bOk;
}

// A preview's changes succeed without writing.
int SkipWrite(const FolderIni&, const std::string*) { return kCommitSkip; }

// Splits a cabinet folder under the data folder into its library and
// cabinet names; false for any other folder.
bool CabinetNames(const std::string& strFolder, std::string& strLib,
                  std::string& strCab) {
  std::string strRoot = g_strDataPath + PlatPathSeparator();
  if (strFolder.compare(0, strRoot.size(), strRoot) != 0) return false;
  std::string strRest = strFolder.substr(strRoot.size());
  std::string strSeparator(1, PlatPathSeparator());
  size_t nCut = MbFind(strRest, strSeparator);
  if (nCut == std::string::npos) return false;
  strLib = strRest.substr(0, nCut);
  strCab = strRest.substr(nCut + 1);
  return true;
}

// A real run's changes are carried out once the backup holds them.
int BackUpThenWrite(const FolderIni& ini, const std::string* pNew) {
  BackupEntry entry;
  if (!CabinetNames(ini.strFolder, entry.strLibrary, entry.strCabinet))
    return kRewriteNotCommitted;
  entry.strPath = ini.strFolder;
  entry.bBefore = ini.bExists;
  entry.strBefore = ini.strData;
  entry.bAfter = pNew != nullptr;
  if (pNew != nullptr) entry.strAfter = *pNew;
  return BackupWrite(entry) == 1 ? kCommitWrite : kRewriteNotCommitted;
}

// ---- /set, /setforce -----------------------------------------------------

// Returns whether the user is added to (true) or removed from list nKey at
// the access level; false in bKnown for an unknown level.
bool AddsTo(int nUserAuth, int nKey, bool& bKnown) {
  bKnown =
      nUserAuth == kAuthRW || nUserAuth == kAuthR || nUserAuth == kAuthNone;
  if (nUserAuth == kAuthRW) return true;
  return nUserAuth == kAuthR && nKey == kKeyReadOnlyUserList;
}

int SetAccessField(int nUserAuth) {
  if (nUserAuth == kAuthRW) return kLogW;
  return nUserAuth == kAuthR ? kLogR : kLogNone;
}

// Edits and tidies list nKey for setAuth; false when the edit failed.
bool SetOneList(int nUserAuth, int nKey, const std::string& strUser,
                const std::string& strLib, const std::string& strCab,
                const FolderIni& ini, Pending& p, std::string& strNew) {
  bool bKnown = false;
  bool bAdd = AddsTo(nUserAuth, nKey, bKnown);
  std::string strWorking;
  TRACE_AS("setAuth", bAdd ? "Call addUser()" : "Call deleteUser()");
  int nEdit = bAdd ? addUser(ini, nKey, strUser, strWorking)
                   : deleteUser(ini, nKey, strUser, strWorking);
  if (nEdit == -9) return false;
  int nTrim = TidyList("setAuth", strWorking, nKey, strLib, strCab, p, strNew);
  if (nEdit == 1 || nTrim == 1) {
    UserRecord(p, nKey) =
        SetResultLog(bAdd ? kLogAdd : kLogDel, nEdit == 1 ? kLogOk : kLogNg,
                     AccessOf(nKey), strUser, strLib, strCab, "");
    p.bChanged = true;
  }
  return true;
}

// ---- /rename ---------------------------------------------------------------

// Renames in list nKey and tidies it; false when the rename failed.
bool RenameOneList(const std::string& strOld, const std::string& strNew,
                   int nKey, const std::string& strLib,
                   const std::string& strCab, const FolderIni& ini, Pending& p,
                   std::string& strNewList) {
  std::string strWorking;
  TRACE_AS("renameAuth", "Call renameUser()");
  int nEdit = renameUser(ini, nKey, strOld, strNew, strWorking);
  if (nEdit == -9) return false;
  if (nEdit == 1) {
    UserRecord(p, nKey) = SetResultLog(kLogChg, kLogOk, AccessOf(nKey), strNew,
                                       strLib, strCab, "");
    p.bChanged = true;
  }
  TidyList("renameAuth", strWorking, nKey, strLib, strCab, p, strNewList);
  return true;
}

// ---- /cleanup --------------------------------------------------------------

// True iff the item of list nKey is kept whatever User.ini says.
bool AlwaysKept(const std::string& strItem, int nKey) {
  if (MbEqualNoCase(strItem, kAdminName)) return true;
  return nKey == kKeyReadOnlyUserList && strItem == kGeneralViewerName;
}

// Tidies one read list and removes every unregistered name from it. A
// regular list keeps its registered items in one pass; any other list has
// each name deleted by DeleteUserString, which cuts it the same way.
void CleanOneList(const std::string& strRead, int nKey,
                  const UserListIndex& registered, const std::string& strLib,
                  const std::string& strCab, Pending& p,
                  std::string& strNewList) {
  TidyList("cleanupAuth", strRead, nKey, strLib, strCab, p, strNewList);
  std::vector<std::string> vItems;
  split(strNewList, ",", vItems);
  bool bRegular = IsRegularUserList(strNewList);
  std::string strKept;
  std::string& strRemoved = UserRecord(p, nKey);
  for (const std::string& strItem : vItems) {
    TRACE_VALUE_AS("cleanupAuth", "csUsername", strItem);
    if (strItem.empty() || AlwaysKept(strItem, nKey) ||
        IsInUserList(registered, strItem)) {
      if (!strItem.empty()) strKept += strItem + ",";
      continue;
    }
    if (!bRegular) strNewList = DeleteUserString(strNewList, strItem);
    if (!strRemoved.empty()) strRemoved += "\n";
    strRemoved += SetResultLog(kLogClr, kLogOk, AccessOf(nKey), strItem, strLib,
                               strCab, "");
    p.bChanged = true;
  }
  if (bRegular) strNewList = strKept;
}

// Takes list nKey and cleans it when it holds names; false when it cannot
// be looked up.
bool ReadAndClean(const FolderIni& ini, int nKey,
                  const UserListIndex& registered, const std::string& strLib,
                  const std::string& strCab, Pending& p,
                  std::string& strNewList) {
  std::string strRead;
  int nRet = GetIniValue(ini.strData, nKey, strRead);
  if (nRet < 0) return false;
  if (nRet == 1)
    CleanOneList(strRead, nKey, registered, strLib, strCab, p, strNewList);
  return true;
}

// ---- /copyauth ---------------------------------------------------------

// Prepares one CPY,OK record for every name of the list.
void CopyRecords(const std::string& strList, int nAccess,
                 const std::string& strLib, const std::string& strCab,
                 std::vector<std::string>& vRecords) {
  for (const std::string& strItem : NamesOf(strList))
    vRecords.push_back(
        SetResultLog(kLogCpy, kLogOk, nAccess, strItem, strLib, strCab, ""));
}

// Reads the destination's Folder.ini and writes the source's lists into it;
// the rewrite's result, -1 when the destination cannot be read.
int WriteCopy(const std::string& strDstPath, const std::string& strRW,
              const std::string& strRO) {
  FolderIni iniDst;
  if (ReadFolderIni(strDstPath, iniDst) < 0) return kRewriteReadFailed;
  TRACE_AS("copyAuth", "Call WriteAndCheckFolderIni()");
  return WriteAndCheckFolderIni(iniDst, strRW, strRO, kIniWrite);
}

void TraceArgs(const char* pszFunc, const std::string& strLib,
               const std::string& strCab, const std::string& strCabinetPath) {
  TRACE_VALUE_AS(pszFunc, "\tstrLib", strLib);
  TRACE_VALUE_AS(pszFunc, "\tstrCab", strCab);
  TRACE_VALUE_AS(pszFunc, "\tstrCabinetPath", strCabinetPath);
}

}  // namespace

int setAuth(int nMode, int nUserAuth, const std::string& strUsername,
            const std::string& strLib, const std::string& strCab,
            const std::string& strCabinetPath) {
  TRACE("Start setAuth()");
  TRACE_INT("\tnMode", nMode);
  TRACE_INT("\tnUserAuth", nUserAuth);
  TRACE_VALUE("\tstrUsername", strUsername);
  TraceArgs("setAuth", strLib, strCab, strCabinetPath);
  CabinetJob job{"setAuth",      kLogSet,          SetAccessField(nUserAuth),
                 strUsername,    strLib,           strCab,
                 strCabinetPath, nMode == kModeSet};
  JobSteps steps;
  steps.fnPrepare = [&](FolderIni& ini, StepFailure& fail) {
    bool bKnown = false;
    AddsTo(nUserAuth, kKeyUserNameList, bKnown);
    return Step(bKnown, kMsgUnknown, fail) &&
           Step(nMode == kModeSet || ReadFolderIni(strCabinetPath, ini) >= 0,
                kMsgAddRW, fail);
  };
  steps.fnEdit = [&](int nKey, const FolderIni& ini, Pending& p,
                     std::string& strNew, StepFailure& fail) {
    return Step(SetOneList(nUserAuth, nKey, strUsername, strLib, strCab, ini, p,
                           strNew),
                nKey == kKeyUserNameList ? kMsgAddRW : kMsgAddR, fail);
  };
  steps.fnWriteMessage = UpdateMessage;
  return RunCabinetJob(job, steps);
}

int renameAuth(const std::string& strOldUsername,
               const std::string& strNewUsername, const std::string& strLib,
               const std::string& strCab, const std::string& strCabinetPath) {
  TRACE("Start renameAuth()");
  TRACE_VALUE("\tstrOldUsername", strOldUsername);
  TRACE_VALUE("\tstrNewUsername", strNewUsername);
  TraceArgs("renameAuth", strLib, strCab, strCabinetPath);
  CabinetJob job{"renameAuth", kLogChg, kLogNone,      strNewUsername,
                 strLib,       strCab,  strCabinetPath};
  JobSteps steps;
  steps.fnPrepare = [](FolderIni&, StepFailure&) { return true; };
  steps.fnEdit = [&](int nKey, const FolderIni& ini, Pending& p,
                     std::string& strNew, StepFailure& fail) {
    fail.nAccess = AccessOf(nKey);
    return Step(RenameOneList(strOldUsername, strNewUsername, nKey, strLib,
                              strCab, ini, p, strNew),
                kMsgUnknown, fail);
  };
  steps.fnWriteMessage = UpdateMessage;
  return RunCabinetJob(job, steps);
}

int copyAuth(const std::string& strSrcLibname, const std::string& strSrcCabname,
             const std::string& strSrcCabinetPath,
             const std::string& strDstLibname,
             const std::string& strDstCabname) {
  TRACE("Start copyAuth()");
  TRACE_VALUE("\tstrSrcLibname", strSrcLibname);
  TRACE_VALUE("\tstrSrcCabname", strSrcCabname);
  TRACE_VALUE("\tstrSrcCabinetPath", strSrcCabinetPath);
  TRACE_VALUE("\tstrDstLibname", strDstLibname);
  TRACE_VALUE("\tstrDstCabname", strDstCabname);
  std::string strDstPath =
      JoinPath(JoinPath(g_strDataPath, strDstLibname), strDstCabname);
  TRACE("Call checkCabinetAuth()");
  FolderIni iniSrc;
  int nAuth = checkCabinetAuth(strSrcCabinetPath, iniSrc);
  if (nAuth == -9)
    return Fail("copyAuth", kLogCpy, kLogNone, "", strSrcLibname, strSrcCabname,
                kMsgNoAuth);
  if (nAuth == 0) {
    TRACE("Call resetAuth()");
    return resetAuth(strDstLibname, strDstCabname, strDstPath);
  }
  std::string strRW, strRO;
  if (GetIniValue(iniSrc.strData, kKeyUserNameList, strRW) < 0 ||
      GetIniValue(iniSrc.strData, kKeyReadOnlyUserList, strRO) < 0)
    return Fail("copyAuth", kLogCpy, kLogNone, "", strSrcLibname, strSrcCabname,
                kMsgUnknown);
  int nRet = WriteCopy(strDstPath, strRW, strRO);
  if (nRet != 1)
    return Fail("copyAuth", kLogCpy, kLogNone, "", strSrcLibname, strSrcCabname,
                RewriteMessage(nRet));
  std::vector<std::string> vRecords;
  CopyRecords(strRW, kLogW, strDstLibname, strDstCabname, vRecords);
  CopyRecords(strRO, kLogR, strDstLibname, strDstCabname, vRecords);
  return Succeed("copyAuth", vRecords);
}

int cleanupAuth(const std::string& strLib, const std::string& strCab,
                const std::string& strCabinetPath) {
  TRACE("Start cleanupAuth()");
  TraceArgs("cleanupAuth", strLib, strCab, strCabinetPath);
  CabinetJob job{"cleanupAuth", kLogClr, kLogNone,      "",
                 strLib,        strCab,  strCabinetPath};
  const UserListIndex* pRegistered = nullptr;
  JobSteps steps;
  steps.fnPrepare = [&](FolderIni&, StepFailure& fail) {
    return Step(GetRegisteredUsers(g_strDataPath, pRegistered) == 1,
                "ユーザー登録情報取得に失敗", fail);
  };
  steps.fnEdit = [&](int nKey, const FolderIni& ini, Pending& p,
                     std::string& strNew, StepFailure& fail) {
    return Step(
        ReadAndClean(ini, nKey, *pRegistered, strLib, strCab, p, strNew),
        kMsgUnknown, fail);
  };
  steps.fnWriteMessage = RewriteMessage;
  return RunCabinetJob(job, steps);
}

int resetAuth(const std::string& strLib, const std::string& strCab,
              const std::string& strCabinetPath) {
  TRACE("Start resetAuth()");
  TraceArgs("resetAuth", strLib, strCab, strCabinetPath);
  FolderIni ini;
  int nAuth = CabinetAuth("resetAuth", strCabinetPath, ini);
  if (nAuth == -9)
    return Fail("resetAuth", kLogRst, kLogNone, "", strLib, strCab, kMsgNoAuth);
  if (nAuth == 0) return 0;
  TRACE("Call deleteReadUserInfo()");
  int nRet = deleteReadUserInfo(ini);
  if (nRet != 1)
    return Fail("resetAuth", kLogRst, kLogNone, "", strLib, strCab,
                RewriteMessage(nRet));
  return Succeed("resetAuth", {SetResultLog(kLogRst, kLogOk, kLogNone, "",
                                            strLib, strCab, "")});
}

void PrepareChanges(bool bPreview, const std::string& strTimestamp) {
  BackupStart(strTimestamp);
  SetFolderIniCommit(bPreview ? SkipWrite : BackUpThenWrite);
}
