#include "raverazariduvivi_undo.h"

#include "checklogic.h"
#include "commonproc.h"
#include "iniaccess.h"
#include "platform/platform.h"
#include "raverazariduvivi_common.h"
#include "raverazariduvivi_result.h"
#include "raverazariduvivi_trace.h"

namespace {

const char kMsgChanged[] = "以降に変更されているため復元できません";
const char kMsgNoCabinet[] = "キャビネットが見つかりません";

// An edited backup file must not reach beyond this installation's data.
bool IsOwnRun(const BackupRun& run) {
  if (run.strDataPath != g_strDataPath) return false;
  for (const BackupEntry& entry : run.vEntries)
    if (!IsEntryInsideDataFolder(entry, g_strDataPath, PlatPathSeparator()))
      return false;
  return true;
}

// Tells whether ini holds exactly bExists / strData.
bool Holds(const FolderIni& ini, bool bExists, const std::string& strData) {
  return ini.bExists == bExists && (!bExists || ini.strData == strData);
}

// Tells whether the run's change of this cabinet was cut short while it
// copied the new bytes over the live Folder.ini, where the system refused
// the atomic replace: Folder.ini.new still holds exactly those bytes,
// since it is removed only once the copy is whole and on the disk. The
// torn Folder.ini is then the run's own doing, not a later change.
bool WasCutShort(const BackupEntry& entry) {
  std::string strNew;
  bool bCut = entry.bAfter &&
              MyReadFile(JoinPath(entry.strPath, "Folder.ini.new"), strNew) ==
                  kPlatReadOk &&
              strNew == entry.strAfter;
  if (bCut) TRACE("Cut short while copied in place.");
  return bCut;
}

int Record(const BackupEntry& entry, bool bOk, const std::string& strMsg) {
  LogOut(SetResultLog(kLogUnd, bOk ? kLogOk : kLogNg, kLogNone, "",
                      entry.strLibrary, entry.strCabinet, strMsg));
  CountCabinet(bOk);
  if (!bOk) TRACE_VALUE_AS("undoCabinet", "Error:", strMsg);
  return bOk ? 1 : -1;
}

}  // namespace

int LoadUndo(const std::string& strTimestamp,
             std::vector<BackupEntry>& vEntries, std::string& strFileName) {
  TRACE("Start LoadUndo()");
  strFileName = "backup" + strTimestamp + ".dat";
  std::string strDir, strData;
  std::vector<BackupRun> vRuns;
  if (!GetUsableCurrentDirectory(strDir) ||
      MyReadFile(JoinPath(strDir, strFileName), strData, true) != kPlatReadOk ||
      ParseBackupFile(strData, vRuns) < 0)
    return -1;
  vEntries.clear();
  for (const BackupRun& run : vRuns) {
    if (!IsOwnRun(run)) return -1;
    vEntries.insert(vEntries.end(), run.vEntries.begin(), run.vEntries.end());
  }
  TRACE_INT("Entries", static_cast<int>(vEntries.size()));
  return 1;
}

int undoCabinet(const BackupEntry& entry) {
  TRACE("Start undoCabinet()");
  TRACE_VALUE("\tstrPath", entry.strPath);
  if (PlatGetFileKind(entry.strPath) != kPlatDir)
    return Record(entry, false, kMsgNoCabinet);
  FolderIni ini;
  if (ReadFolderIni(entry.strPath, ini) < 0)
    return Record(entry, false, kMsgNoAuth);
  if (Holds(ini, entry.bBefore, entry.strBefore)) {
    TRACE("Already as before the run.");
    return Record(entry, true, "");
  }
  if (!Holds(ini, entry.bAfter, entry.strAfter) && !WasCutShort(entry))
    return Record(entry, false, kMsgChanged);
  int nRet =
      entry.bBefore ? PutFolderIni(ini, entry.strBefore) : RemoveFolderIni(ini);
  return Record(entry, nRet == 1, nRet == 1 ? "" : RewriteMessage(nRet));
}
