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

// Rewrites the file at strPath as the runs parsed from it, each in its own
// format version, through a new file and the atomic replace, so that a cut
// tail is gone before anything is appended behind it.
bool DropCutTail(const std::string& strPath,
                 const std::vector<BackupRun>& vRuns) {
  std::string strIntact = BackupFileBytes(vRuns);
  std::string strNew = strPath + ".new";
  if (!MyDeleteFile(strNew)) return false;
  PlatFileHandle pFile = PlatCreateFile(strNew);
  bool bOk = pFile != nullptr && PlatWrite(pFile.get(), strIntact) &&
             PlatSync(pFile.get());
  bOk = pFile != nullptr && PlatClose(pFile) && bOk;
  return bOk && MyMoveFile(strNew, strPath);
}

// An earlier run of the same second left a file: appending is safe to one
// that parses whole, and to one that a killed run left with a cut tail once
// that tail is dropped (it holds no change); a damaged file is left alone.
bool MayAppendTo(const std::string& strPath) {
  std::string strData;
  int nRead = MyReadFile(strPath, strData, true);
  if (nRead == kPlatReadMissing) return true;
  std::vector<BackupRun> vRuns;
  int nParse = nRead == kPlatReadOk ? ParseBackupFile(strData, vRuns) : -1;
  if (nParse == 2) return DropCutTail(strPath, vRuns);
  return nParse == 1;
}

bool WriteFlushed(const std::string& strBytes) {
  return PlatWrite(g_fpBackup.get(), strBytes) && PlatSync(g_fpBackup.get());
}

// Opens the file for this run's first entry and writes the run's header,
// flushed on its own: every item is on the disk before the next one is
// written, so that a reader can tell a cut tail from damage. False when the
// file cannot be used.
// The file's name, and its path in the current directory; false when the
// current directory cannot be used.
bool BackupPath(std::string& strFileName, std::string& strPath) {
  strFileName = "backup" + g_strTimestamp + ".dat";
  std::string strDir;
  if (!GetUsableCurrentDirectory(strDir)) return false;
  strPath = JoinPath(strDir, strFileName);
  return true;
}

bool OpenBackup() {
  std::string strFileName, strPath;
  if (!BackupPath(strFileName, strPath)) return false;
  TRACE_VALUE("strBackupPath", strPath);
  if (!MayAppendTo(strPath)) return false;
  std::string strHeader = BackupHeader(g_strDataPath, kBackupVersion);
  if (strHeader.empty()) return false;
  g_fpBackup = PlatOpenAppend(strPath);
  // The folder is flushed too: a replaced Folder.ini whose backup file a
  // power cut lost could never be put back.
  return g_fpBackup != nullptr && WriteFlushed(strHeader) &&
         PlatSyncFolderOf(strPath);
}

}  // namespace

void BackupStart(const std::string& strTimestamp) {
  g_strTimestamp = strTimestamp;
  g_fpBackup.reset();
  g_bFailed = false;
}

int BackupWrite(const BackupEntry& entry) {
  TRACE("Start BackupWrite()");
  std::string strBytes = BackupEntryBytes(entry, kBackupVersion);
  bool bOk = !g_bFailed && !strBytes.empty() &&
             (g_fpBackup != nullptr || OpenBackup()) && WriteFlushed(strBytes);
  if (!bOk && g_fpBackup != nullptr) g_bFailed = true;
  TRACE_INT("Return", bOk ? 1 : -1);
  return bOk ? 1 : -1;
}

bool BackupUsable(std::string& strFileName) {
  std::string strPath, strData;
  if (!BackupPath(strFileName, strPath)) return false;
  int nRead = MyReadFile(strPath, strData, true);
  if (nRead == kPlatReadFailed) TRACE_ERROR("Backup file refused.");
  return nRead != kPlatReadFailed;
}

bool BackupFinish() {
  if (g_fpBackup == nullptr) return true;
  return PlatClose(g_fpBackup);
}
