#include "raverazariduvivi_backup.h"

#include <vector>

#include "checklogic.h"
#include "commonproc.h"
#include "platform/platform.h"
#include "raverazariduvivi_result.h"
#include "raverazariduvivi_trace.h"

namespace {

std::string g_strTimestamp;
PlatFileHandle g_fpBackup;
// After a failed write the file may end in part of an entry: nothing more
// is appended behind it, so that it stays a cut tail.
bool g_bFailed = false;

// An earlier run of the same second left a file: appending is safe only to
// one that parses whole, or a cut tail would run into this run's header.
bool MayAppendTo(const std::string& strPath) {
  std::string strData;
  int nRead = MyReadFile(strPath, strData);
  if (nRead == kPlatReadMissing) return true;
  std::vector<BackupRun> vRuns;
  return nRead == kPlatReadOk && ParseBackupFile(strData, vRuns) == 1;
}

// Opens the file for this run's first entry; false when it cannot be used.
// strHeader receives the header to write before that entry.
bool OpenBackup(std::string& strHeader) {
  std::string strDir;
  if (!GetUsableCurrentDirectory(strDir)) return false;
  std::string strPath = JoinPath(strDir, "backup" + g_strTimestamp + ".dat");
  TRACE_VALUE("strBackupPath", strPath);
  if (!MayAppendTo(strPath)) return false;
  strHeader = BackupHeader(g_strDataPath);
  if (strHeader.empty()) return false;
  g_fpBackup = PlatOpenAppend(strPath);
  return g_fpBackup != nullptr;
}

}  // namespace

void BackupStart(const std::string& strTimestamp) {
  g_strTimestamp = strTimestamp;
  g_fpBackup.reset();
  g_bFailed = false;
}

int BackupWrite(const BackupEntry& entry) {
  TRACE("Start BackupWrite()");
  std::string strBytes = BackupEntryBytes(entry);
  std::string strHeader;
  bool bOk = !g_bFailed && !strBytes.empty() &&
             (g_fpBackup != nullptr || OpenBackup(strHeader));
  bOk = bOk && PlatWrite(g_fpBackup.get(), strHeader + strBytes) &&
        PlatSync(g_fpBackup.get());
  if (!bOk && g_fpBackup != nullptr) g_bFailed = true;
  TRACE_INT("Return", bOk ? 1 : -1);
  return bOk ? 1 : -1;
}

bool BackupFinish() {
  if (g_fpBackup == nullptr) return true;
  return PlatClose(g_fpBackup);
}
