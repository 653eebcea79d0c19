// Fuzz target of the backup file (backupfile.h).
//
// The input is taken two ways. As a whole file: the parser never reads past
// it and never allocates from a count it has not checked, and what it reads
// is encoded back into exactly the whole part of the input (the encoding is
// canonical), all of it when nothing was dropped. As fields, data path
// 0xFF library 0xFF cabinet 0xFF path 0xFF before 0xFF after (a payload
// that is the single byte 0xFE stands for "none"): the entry they make, in
// either version, is read back as it was written, and a cut at an offset
// taken from the input either drops it or, inside the header, leaves no
// file; in version 2, zeros over a span of the entry taken from the input
// drop it as a cut tail, and are damage once a whole entry follows.
#include <algorithm>

#include "backupfile.h"
#include "fuzz_util.h"

namespace {

bool SameEntry(const BackupEntry& a, const BackupEntry& b) {
  return a.strLibrary == b.strLibrary && a.strCabinet == b.strCabinet &&
         a.strPath == b.strPath && a.bBefore == b.bBefore &&
         a.strBefore == b.strBefore && a.bAfter == b.bAfter &&
         a.strAfter == b.strAfter;
}

// An entry the path check takes lies, byte for byte, below the data folder.
void CheckInside(const BackupRun& run) {
  for (const BackupEntry& entry : run.vEntries)
    for (char chSeparator : {'/', '\\'}) {
      if (!IsEntryInsideDataFolder(entry, run.strDataPath, chSeparator))
        continue;
      std::string strPrefix = run.strDataPath + chSeparator;
      FUZZ_CHECK(entry.strPath.compare(0, strPrefix.size(), strPrefix) == 0);
    }
}

void CheckWholeFile(const std::string& strData) {
  std::vector<BackupRun> vRuns;
  int nRet = ParseBackupFile(strData, vRuns);
  FUZZ_CHECK(nRet == 1 || nRet == 2 || nRet == -1);
  if (nRet == -1) {
    FUZZ_CHECK(vRuns.empty());
    return;
  }
  std::string strWhole = BackupFileBytes(vRuns);
  FUZZ_CHECK(nRet == 1
                 ? strWhole == strData
                 : strWhole.size() < strData.size() &&
                       strData.compare(0, strWhole.size(), strWhole) == 0);
  for (const BackupRun& run : vRuns) CheckInside(run);
}

// Zeros over a span of the entry (its first line included) are a cut tail,
// unless they change nothing, or the entry's own fields hold what may start
// a whole item (which is then taken for one behind the failure); with a
// whole entry behind them, damage.
void CheckHole(const std::string& strHeader, const std::string& strEntry,
               bool bInner, size_t nSeed) {
  size_t nFrom = nSeed % strEntry.size();
  size_t nTo = nFrom + (nSeed / strEntry.size()) % (strEntry.size() - nFrom);
  std::string strHoled = strEntry;
  std::fill(strHoled.begin() + nFrom, strHoled.begin() + nTo + 1, '\0');
  bool bSame = strHoled == strEntry;
  std::vector<BackupRun> vRuns;
  int nRet = ParseBackupFile(strHeader + strHoled, vRuns);
  FUZZ_CHECK(nRet == (bSame ? 1 : 2) || (bInner && nRet == -1));
  FUZZ_CHECK(nRet == -1 || vRuns[0].vEntries.size() == (bSame ? 1 : 0));
  FUZZ_CHECK(ParseBackupFile(strHeader + strHoled + strEntry, vRuns) ==
             (bSame ? 1 : -1));
}

void CheckRoundTrip(const std::vector<std::string>& vFields, size_t nSeed,
                    int nVersion) {
  BackupEntry entry{
      vFields[1], vFields[2],           vFields[3], vFields[4] != "\xFE",
      "",         vFields[5] != "\xFE", ""};
  if (entry.bBefore) entry.strBefore = vFields[4];
  if (entry.bAfter) entry.strAfter = vFields[5];
  std::string strHeader = BackupHeader(vFields[0], nVersion);
  std::string strEntry = BackupEntryBytes(entry, nVersion);
  if (strHeader.empty() || strEntry.empty()) return;
  std::vector<BackupRun> vRuns;
  FUZZ_CHECK(ParseBackupFile(strHeader + strEntry, vRuns) == 1);
  FUZZ_CHECK(vRuns.size() == 1 && vRuns[0].strDataPath == vFields[0] &&
             vRuns[0].nVersion == nVersion);
  FUZZ_CHECK(vRuns[0].vEntries.size() == 1 &&
             SameEntry(vRuns[0].vEntries[0], entry));
  // In version 2, a payload holding what may start a whole item lets that
  // item be taken for one behind a cut entry.
  bool bInner =
      nVersion == 2 && (strEntry.find("entry ", 1) != std::string::npos ||
                        strEntry.find("RAVBACKUP 2 ") != std::string::npos);
  size_t nCut = nSeed % (strHeader.size() + strEntry.size());
  int nRet = ParseBackupFile((strHeader + strEntry).substr(0, nCut), vRuns);
  int nWant = nCut < strHeader.size() ? -1 : nCut == strHeader.size() ? 1 : 2;
  FUZZ_CHECK(nRet == nWant || (bInner && nWant == 2 && nRet == -1));
  FUZZ_CHECK(nRet == -1 || (vRuns.size() == 1 && vRuns[0].vEntries.empty()));
  if (nVersion == 2) CheckHole(strHeader, strEntry, bInner, nSeed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  CheckWholeFile(std::string(reinterpret_cast<const char*>(pData), nSize));
  size_t nCut = 0;
  for (size_t nPos = 0; nPos < nSize; ++nPos) nCut = nCut * 31 + pData[nPos];
  for (int nVersion : {1, 2})
    CheckRoundTrip(FuzzFields(pData, nSize, 6), nCut, nVersion);
  return 0;
}
