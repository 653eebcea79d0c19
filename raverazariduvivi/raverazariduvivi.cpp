#include "raverazariduvivi.h"

#include <vector>

#include "checklibcab.h"
#include "checklogic.h"
#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "platform/platform.h"
#include "raverazariduvivi_backup.h"
#include "raverazariduvivi_list.h"
#include "raverazariduvivi_ops.h"
#include "raverazariduvivi_params.h"
#include "raverazariduvivi_progress.h"
#include "raverazariduvivi_report.h"
#include "raverazariduvivi_result.h"
#include "raverazariduvivi_trace.h"
#include "raverazariduvivi_undo.h"
#include "version.h"

namespace {

// The run's trace lines carry the entry point's name.
const char kMain[] = "main";

const char kMsgResultFile[] = "実行結果ファイルを作成できません。";
const char kMsgNoLibraryList[] = "書庫一覧の取得に失敗";
const char kMsgNoCabinetList[] = "書庫内のキャビネット一覧取得に失敗";
const char kMsgReportFile[] = "レポートファイルを作成できません。";
const char kMsgResultWrite[] = "実行結果ファイルへの書き込みに失敗しました。";
const char kMsgTail[] = " ファイルを参照してください。";
const char kMsgWhere[] = "\n実行結果は本ツールと同じフォルダにある ";
const char kPreviewSwitch[] = "/whatif";

// The trace log is on for this run when "tracelogset.txt" is a regular file
// in the current directory (a folder, link or FIFO of that name is not).
void SwitchTraceLog(const std::string& strStamp) {
  g_bTraceLog = 0;
  std::string strDir;
  if (!GetUsableCurrentDirectory(strDir)) return;
  if (!PlatIsRegularFile(JoinPath(strDir, "tracelogset.txt"))) return;
  g_szTraceLogPath = JoinPath(strDir, "tracelog" + strStamp + ".txt");
  g_bTraceLog = 1;
}

void TraceArguments(const std::vector<std::string>& vArgs) {
  TRACE_AS(kMain, vArgs.empty() ? std::string() : vArgs[0]);
  for (size_t i = 1; i < vArgs.size(); ++i)
    TRACE_AS(kMain, "\targv[" + std::to_string(i) + "] = " + vArgs[i]);
  TRACE_AS(kMain, std::string("version=") + kRavVersion);
}

int FailStartup(const std::string& strMsg, const std::string& strDetail) {
  DispErrMsg(strMsg, strDetail);
  TRACE_AS(kMain, strMsg);
  return -1;
}

const char* InstallMessage(int nRet) {
  switch (nRet) {
    case 0:
      return "Tenbo クライアントサーバがインストールされていません。";
    case -1:
    case -2:
      return "Tenbo クライアントサーバのデータ格納先フォルダが見つかりません。";
    case -3:
      return "Tenbo クライアントサーバのバージョンレベルが動作対象外です。";
    case -4:
      return "Tenbo クライアントサーバのユーザー登録情報がみつかりません。";
    case -9:
      return "その他のエラーが発生しました。";
    default:
      return nullptr;
  }
}

// Runs the checks before the command line; returns 1 to go on, else -1.
int CheckEnvironment() {
  TRACE_AS(kMain, "Call checkMutex()");
  if (checkMutex() == 0)
    return FailStartup("本ツールは同時に２つ以上実行できません。", "");
  TRACE_AS(kMain, "Call checkAdmin()");
  if (checkAdmin() == 0)
    return FailStartup("管理者権限で実行してください。", "");
  TRACE_AS(kMain, "Call checkCSServerInstall()");
  const char* pszMsg = InstallMessage(checkCSServerInstall());
  return pszMsg == nullptr ? 1 : FailStartup(pszMsg, "");
}

int OpenResultFile(const std::string& strStamp, const std::string& strCmdLine,
                   bool bPreview, std::string& strResultName) {
  int nRet = LogOpen(strStamp, DisplayTime(strStamp), strCmdLine, strResultName,
                     bPreview ? "whatif" : "result");
  if (nRet == 1) return 1;
  return FailStartup(kMsgResultFile, nRet == -1 ? strResultName : "");
}

void Dispatch(const ParamInfo& info, const std::string& strLib,
              const std::string& strCab, const std::string& strCabinetPath) {
  switch (info.nMode) {
    case kModeSet:
    case kModeSetForce:
      TRACE_AS(kMain, "Call setAuth()");
      setAuth(info.nMode, info.nUserAuth, info.strUsername, strLib, strCab,
              strCabinetPath);
      break;
    case kModeRename:
      TRACE_AS(kMain, "Call renameAuth()");
      renameAuth(info.strOldUsername, info.strUsername, strLib, strCab,
                 strCabinetPath);
      break;
    case kModeCopyAuth:
      TRACE_AS(kMain, "Call copyAuth()");
      copyAuth(strLib, strCab, strCabinetPath, info.strNewLibname,
               info.strNewCabname);
      break;
    case kModeCleanup:
      TRACE_AS(kMain, "Call cleanupAuth()");
      cleanupAuth(strLib, strCab, strCabinetPath);
      break;
    case kModeReset:
      TRACE_AS(kMain, "Call resetAuth()");
      resetAuth(strLib, strCab, strCabinetPath);
      break;
    case kModeList:
    case kModeListAll:
    case kModeReport:
      g_bListMode = 1;
      TRACE_AS(kMain, "Call listCabinetAuth()");
      listCabinetAuth(strLib, strCab, strCabinetPath,
                      info.nMode == kModeList ? 0 : 1);
      break;
    case kModeUserStatus:
      g_bListMode = 1;
      TRACE_AS(kMain, "Call listAuth()");
      listAuth(info.strUsername, strLib, strCab, strCabinetPath);
      break;
    default:
      break;
  }
}

// Records a library or cabinet list that cannot be read as EXE,NG with
// strPlace and pszMsg, and flags bListError.
void ListError(const std::string& strPlace, const char* pszMsg,
               const char* pszTrace, bool& bListError) {
  bListError = true;
  ReportLibraryFailed(strPlace, pszMsg);
  LogOut(SetResultLog(kLogExe, kLogNg, kLogNone, "", strPlace, "", pszMsg));
  TRACE_AS(kMain, pszTrace);
}

// Tells whether a list read for the walk gave names; an unreadable list is
// recorded by ListError.
bool ListRead(int nRet, const std::string& strPlace, const char* pszMsg,
              const char* pszFailTrace, const char* pszNoneTrace,
              bool& bListError) {
  if (nRet == -1) {
    ListError(strPlace, pszMsg, pszFailTrace, bListError);
    return false;
  }
  if (nRet != 1) TRACE_AS(kMain, pszNoneTrace);
  return nRet == 1;
}

// Visits the cabinet named on the command line, or every listed one.
void WalkCabinets(const ParamInfo& info, const std::string& strLib,
                  bool& bListError) {
  std::string strCabinetList = info.strCabname + ",";
  if (info.strCabname.empty()) {
    TRACE_AS(kMain, "Call GetCabinetList()");
    if (!ListRead(GetCabinetList(strLib, strCabinetList), strLib,
                  kMsgNoCabinetList, "GetCabinetList() returns fail.",
                  "No Cabinet.", bListError))
      return;
  }
  for (const std::string& strCab : NamesOf(strCabinetList)) {
    ProgressStep();
    TRACE_VALUE_AS(kMain, "Cabinet", strCab);
    std::string strCabinetPath;
    int nExist = info.strCabname.empty()
                     ? existListedCabinet(strLib, strCab, strCabinetPath)
                     : existCabinet(strLib, strCab, strCabinetPath);
    if (nExist < 0) {
      ListError(strLib, kMsgNoCabinetList, "existCabinet() returns fail.",
                bListError);
      return;
    }
    if (nExist == 0) {
      TRACE_AS(kMain, "No exist Cabinet.");
      continue;
    }
    Dispatch(info, strLib, strCab, strCabinetPath);
    if (ResultWriteFailed()) return;
  }
}

// Visits the library named on the command line, or every listed one.
void WalkLibraries(const ParamInfo& info, bool& bListError) {
  ProgressStartWalk(info.strLibname, info.strCabname);
  std::string strLibraryList = info.strLibname + ",";
  if (info.strLibname.empty()) {
    TRACE_AS(kMain, "Call GetLibraryList()");
    if (!ListRead(GetLibraryList(strLibraryList), "", kMsgNoLibraryList,
                  "GetLibraryList() returns fail.", "No Library List.",
                  bListError))
      return;
  }
  for (const std::string& strLib : NamesOf(strLibraryList)) {
    TRACE_VALUE_AS(kMain, "Library", strLib);
    std::string strLibraryPath;
    int nExist = info.strLibname.empty()
                     ? existListedLibrary(strLib, strLibraryPath)
                     : existLibrary(strLib, strLibraryPath);
    if (nExist < 0) {
      ListError("", kMsgNoLibraryList, "existLibrary() returns fail.",
                bListError);
      return;
    }
    if (nExist == 0) {
      TRACE_AS(kMain, "No exist Library.");
      continue;
    }
    ReportLibrary(strLib);
    WalkCabinets(info, strLib, bListError);
    if (ResultWriteFailed()) {
      TRACE_AS(kMain, "Result file write failed; the walk stops.");
      return;
    }
  }
}

// Starts the report of a /report run, with the earlier report that /since
// names; false (after the message) when that one cannot be used.
bool StartReportOrRefuse(const ParamInfo& info, const std::string& strStamp) {
  if (info.nMode != kModeReport) return true;
  ReportStart(DisplayTime(strStamp), info.strLibname, info.strCabname);
  std::string strFileName;
  if (info.strSinceStamp.empty() ||
      ReportLoadSince(info.strSinceStamp, strFileName) == 1)
    return true;
  FailStartup("以前のレポートファイルを読み込めません。", strFileName);
  return false;
}

// Writes the report's files and names them; false (after the message) when
// they cannot be written.
bool WriteReport(const std::string& strStamp) {
  std::string strCsv, strHtml, strFileName;
  TRACE_AS(kMain, "Call ReportWrite()");
  int nRet = ReportWrite(strStamp, strCsv, strHtml, strFileName);
  if (nRet == 1) {
    DispMsg("レポートは同じフォルダにある " + strHtml + " と " + strCsv +
            " ファイルを参照してください。");
    return true;
  }
  DispErrMsg(kMsgReportFile, nRet == -2 ? "User.ini" : strFileName);
  TRACE_AS(kMain, kMsgReportFile);
  return false;
}

// Takes back every change of the loaded backup, the newest first.
void UndoAll(const std::vector<BackupEntry>& vEntries) {
  ProgressStart(vEntries.size());
  for (auto it = vEntries.rbegin(); it != vEntries.rend(); ++it) {
    ProgressStep();
    TRACE_AS(kMain, "Call undoCabinet()");
    undoCabinet(*it);
    if (ResultWriteFailed()) return;
  }
}

// Loads the backup of the run /undo names; false (after the message) when
// it cannot be used.
bool LoadUndoOrRefuse(const ParamInfo& info,
                      std::vector<BackupEntry>& vEntries) {
  if (info.nMode != kModeUndo) return true;
  std::string strFileName;
  if (LoadUndo(info.strUndoStamp, vEntries, strFileName) == 1) return true;
  FailStartup("バックアップファイルを読み込めません。", strFileName);
  return false;
}

// A changing run appends its backup only to a file of its own; one planted
// by another account refuses the run before anything changes.
bool BackupUsableOrRefuse(const ParamInfo& info) {
  bool bListing = info.nMode == kModeList || info.nMode == kModeListAll ||
                  info.nMode == kModeUserStatus || info.nMode == kModeReport;
  std::string strFileName;
  if (bListing || BackupUsable(strFileName)) return true;
  FailStartup(kMsgResultFile, strFileName);
  return false;
}

std::string ClosingMessage(bool bPreview, bool bListError, int nVerdict,
                           const std::string& strResultName) {
  const char* pszStart = "権限情報の更新対象がありませんでした。";
  if (bPreview && g_bListMode == 0)
    pszStart = "変更内容の確認のみ行いました（ファイルは変更していません）。";
  else if (bListError)
    pszStart = "一部の書庫／キャビネットの権限情報を更新できませんでした。";
  else if (g_bListMode != 0)
    pszStart = "情報を出力しました。";
  else if (nVerdict == -1)
    pszStart = "権限情報の更新に失敗したキャビネットがあります。";
  else if (nVerdict == 1)
    pszStart = "権限情報の更新が完了しました。";
  return std::string(pszStart) + kMsgWhere + strResultName + kMsgTail;
}

// The records of the run are incomplete: no closing message may suggest
// otherwise, and the exit code is that of a run with a failed cabinet.
int FailResultWrite() {
  DispErrMsg(kMsgResultWrite, "");
  TRACE_AS(kMain, kMsgResultWrite);
  return 0;
}

}  // namespace

int RunTool(int argc, char** argv) {
  PlatInitProcess();
  std::vector<std::string> vArgs = PlatGetArguments(argc, argv);
  std::string strStamp = PlatFormatLocalTime("%Y%m%d%H%M%S");
  g_bListMode = 0;
  SwitchTraceLog(strStamp);
  TraceArguments(vArgs);
  if (CheckEnvironment() != 1) return -1;
  // "/whatif" before the command makes the rest of the line a preview,
  // parsed exactly as it would be without it.
  bool bPreview = vArgs.size() > 1 && MbEqualNoCase(vArgs[1], kPreviewSwitch);
  if (bPreview) vArgs.erase(vArgs.begin() + 1);
  PrepareChanges(bPreview, strStamp);
  ParamInfo info;
  TRACE_AS(kMain, "Call getParams()");
  int nRet = getParams(vArgs, &info);
  if (nRet == 2) return 1;
  if (nRet != 1) {
    TRACE_AS(kMain, "getParams() returns fail.");
    return -1;
  }
  std::vector<BackupEntry> vUndo;
  if (!LoadUndoOrRefuse(info, vUndo)) return -1;
  if (!StartReportOrRefuse(info, strStamp)) return -1;
  if (!bPreview && !BackupUsableOrRefuse(info)) return -1;
  std::string strResultName;
  if (OpenResultFile(strStamp, PlatGetCommandLine(argc, argv), bPreview,
                     strResultName) != 1)
    return -1;
  g_nTargetCabinetCount = g_nSuccessCabinetCount = g_nErrorCabinetCount = 0;
  bool bListError = false;
  if (info.nMode == kModeUndo)
    UndoAll(vUndo);
  else
    WalkLibraries(info, bListError);
  ProgressEnd();
  // Every entry was flushed before its change; a failed close loses none.
  if (!BackupFinish()) TRACE_AS(kMain, "Backup file close failed.");
  TRACE_AS(kMain, "Call LogClose()");
  int nVerdict = LogClose();
  if (ResultWriteFailed()) return FailResultWrite();
  std::string strMsg =
      ClosingMessage(bPreview, bListError, nVerdict, strResultName);
  TRACE_VALUE_AS(kMain, "Call DispMsg(). csMsg", strMsg);
  DispMsg(strMsg);
  if (ReportOn() && !WriteReport(strStamp)) return 0;
  return nVerdict == -1 ? 0 : 1;
}
