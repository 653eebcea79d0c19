#include "raverazariduvivi_result.h"

#include <chrono>

#include "checklogic.h"
#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "platform/platform.h"
#include "raverazariduvivi_common.h"
#include "raverazariduvivi_trace.h"

int g_nTargetCabinetCount = 0;
int g_nSuccessCabinetCount = 0;
int g_nErrorCabinetCount = 0;
int g_bListMode = 0;

namespace {

PlatFileHandle g_fpResult;
bool g_bWriteFailed = false;

// The records reach the disk at least once a second: a power cut loses at
// most the last second of them (the backup file still covers every change).
using Clock = std::chrono::steady_clock;
constexpr Clock::duration kSyncInterval = std::chrono::seconds(1);
Clock::time_point g_tLastSync;

// Flushes the result file to the disk; a failure counts as a failed write.
bool SyncResult() {
  g_tLastSync = Clock::now();
  if (PlatSync(g_fpResult.get())) return true;
  TRACE_ERROR("Result file flush failed.");
  g_bWriteFailed = true;
  return false;
}

const char kSeparator[] = "========================================";

const char* CodeWord(int nType) {
  switch (nType) {
    case kLogExe:
      return "EXE";
    case kLogSet:
      return "SET";
    case kLogChg:
      return "CHG";
    case kLogCpy:
      return "CPY";
    case kLogClr:
      return "CLR";
    case kLogRst:
      return "RST";
    case kLogUsr:
      return "USR";
    case kLogLst:
      return "LST";
    case kLogUnd:
      return "UND";
    case kLogAdd:
      return "ADD";
    case kLogDel:
      return "DEL";
    default:
      return "";
  }
}

const char* ResultWord(int nResult) {
  if (nResult == kLogOk) return "OK";
  return nResult == kLogNg ? "NG" : "";
}

std::string UserField(const std::string& strUser) {
  return strUser == kGeneralViewerName ? kGeneralViewerText : strUser;
}

std::string PlaceField(const std::string& strLib, const std::string& strCab) {
  if (strLib.empty()) return "";
  return strCab.empty() ? strLib : strLib + "/" + strCab;
}

}  // namespace

const char* AccessWord(int nAccess) {
  switch (nAccess) {
    case kLogW:
      return "W";
    case kLogR:
      return "R";
    case kLogRW:
      return "RW";
    default:
      return "";
  }
}

bool GetUsableCurrentDirectory(std::string& strDir) {
  if (!PlatGetCurrentDirectory(strDir)) return false;
  if (strDir.empty() || strDir.size() > kMaxCurrentDir) return false;
  return PlatGetFileKind(strDir) == kPlatDir;
}

int LogOpen(const std::string& strTimestamp, const std::string& strStartTime,
            const std::string& strCommandLine, std::string& strResultName,
            const char* pszPrefix) {
  TRACE("Start LogOpen()");
  std::string strDir;
  if (!GetUsableCurrentDirectory(strDir)) return 0;
  strResultName = pszPrefix + strTimestamp + ".txt";
  std::string strPath = JoinPath(strDir, strResultName);
  TRACE_VALUE("strResultPath", strPath);
  g_bWriteFailed = false;
  g_fpResult = PlatOpenAppend(strPath);
  if (g_fpResult == nullptr) {
    TRACE_ERROR("Result file open failed.");
    return -1;
  }
  g_tLastSync = Clock::now();
  if (LogOut(strCommandLine) == 1 &&
      LogOut("データ格納先," + g_strDataPath) == 1 &&
      LogOut("実行開始," + strStartTime) == 1 && LogOut(kSeparator) == 1 &&
      SyncResult() && PlatSyncFolderOf(strPath))
    return 1;
  // The run ends here; the header's write error is the one reported, so the
  // owner closes the file without a result.
  g_fpResult.reset();
  return -2;
}

int LogOut(const std::string& strLine) {
  if (strLine.empty()) return 0;
  if (PlatWrite(g_fpResult.get(), TextFileLine(strLine)))
    return Clock::now() - g_tLastSync < kSyncInterval || SyncResult() ? 1 : 0;
  TRACE_ERROR("Result file write failed.");
  g_bWriteFailed = true;
  return 0;
}

std::string SetResultLog(int nType, int nResult, int nAccess,
                         const std::string& strUser, const std::string& strLib,
                         const std::string& strCab, const std::string& strMsg) {
  std::string strRecord = CodeWord(nType);
  strRecord.append(",").append(ResultWord(nResult));
  strRecord.append(",").append(AccessWord(nAccess)).append(",");
  if (!strUser.empty()) strRecord += UserField(strUser);
  strRecord.append(",").append(PlaceField(strLib, strCab));
  return strRecord.append(",").append(strMsg);
}

int LogClose() {
  TRACE("Start LogClose()");
  std::string strTime = PlatFormatLocalTime("%Y/%m/%d %H:%M:%S");
  LogOut(kSeparator);
  LogOut("実行完了," + strTime);
  if (g_bListMode == 0) {
    LogOut("設定対象キャビネット数," + std::to_string(g_nTargetCabinetCount));
    LogOut("設定成功キャビネット数," + std::to_string(g_nSuccessCabinetCount));
    LogOut("エラーキャビネット数," + std::to_string(g_nErrorCabinetCount));
  }
  bool bSynced = SyncResult();
  if (!PlatClose(g_fpResult) || !bSynced) {
    TRACE_ERROR("Result file close failed.");
    g_bWriteFailed = true;
  }
  int nVerdict = 0;
  if (g_nTargetCabinetCount != 0) nVerdict = g_nErrorCabinetCount > 0 ? -1 : 1;
  TRACE_INT("Return", nVerdict);
  return nVerdict;
}

bool ResultWriteFailed() { return g_bWriteFailed; }

void CountCabinet(bool bSuccess) {
  ++g_nTargetCabinetCount;
  if (bSuccess && !g_bWriteFailed)
    ++g_nSuccessCabinetCount;
  else
    ++g_nErrorCabinetCount;
}
