#include <exception>
#include <map>
#include <optional>

#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "iniaccess.h"
#include "platform/platform.h"
#include "raverazariduvivi_trace.h"

namespace {

const char kSectionHeader[] = "[ReadUserInfo]";
constexpr size_t kSectionHeaderLen = sizeof(kSectionHeader) - 1;
const char kNewLine[] = "\r\n";

FolderIniCommit g_fnCommit = nullptr;

// The skipped changes by Folder.ini path: the bytes each would have left,
// or nullopt where it would have removed the file.
std::map<std::string, std::optional<std::string>> g_mSkipped;

// Returns the [ReadUserInfo] block that a write puts in the file.
std::string SectionBlock(const std::string& strUserNameList,
                         const std::string& strReadOnlyUserList) {
  return std::string(kNewLine) + kSectionHeader + kNewLine +
         "UserNameList=" + strUserNameList + kNewLine +
         "ReadOnlyUserList=" + strReadOnlyUserList + kNewLine;
}

// Returns true iff the line's first 14 bytes are "[ReadUserInfo]", case-blind.
bool IsSectionStart(const std::string& strLine) {
  return MbEqualNoCase(strLine.substr(0, kSectionHeaderLen), kSectionHeader);
}

// Moves the reader state nReadFlag (0 before the section, 1 inside it, 2
// behind it) over one trimmed, non-empty line, appending what it keeps to
// strOut; the first section header is replaced by strBlock.
void ReadLine(const std::string& strLine, const std::string& strBlock,
              int& nReadFlag, std::string& strOut) {
  bool bStart = IsSectionStart(strLine);
  if (bStart && nReadFlag == 0) strOut += strBlock;
  if (bStart) {
    nReadFlag = 1;
    return;
  }
  if (nReadFlag == 1 && strLine[0] != '[') return;
  if (nReadFlag == 1) nReadFlag = 2;
  strOut += strLine + kNewLine;
}

// Calls fnLine with every trimmed, non-empty line of the bytes of
// Folder.ini as the rewrite cuts them: a line ends at LF, a CR before the LF
// is dropped, every other byte is kept. Stops when fnLine returns false.
template <typename LineFn>
void ForEachLine(const std::string& strData, LineFn fnLine) {
  for (size_t nStart = 0; nStart < strData.size();) {
    size_t nEnd = strData.find('\n', nStart);
    bool bLf = nEnd != std::string::npos;
    if (!bLf) nEnd = strData.size();
    size_t nLen = nEnd - nStart;
    if (bLf && nLen > 0 && strData[nEnd - 1] == '\r') --nLen;
    std::string strLine = MbTrim(strData.substr(nStart, nLen), "\t ");
    if (!strLine.empty() && !fnLine(strLine)) return;
    nStart = nEnd + 1;
  }
}

// Runs the line reader over the bytes of Folder.ini, appending the kept
// lines, CR LF ended, to strOut. Returns true iff a section header was met.
bool FilterFolderIni(const std::string& strData, const std::string& strBlock,
                     std::string& strOut) {
  int nReadFlag = 0;
  ForEachLine(strData, [&](const std::string& strLine) {
    ReadLine(strLine, strBlock, nReadFlag, strOut);
    return true;
  });
  return nReadFlag != 0;
}

// Returns true iff the line reader meets a section header in the bytes.
bool HasSectionHeader(const std::string& strData) {
  bool bFound = false;
  ForEachLine(strData, [&](const std::string& strLine) {
    bFound = IsSectionStart(strLine);
    return !bFound;
  });
  return bFound;
}

// Tells whether the reader takes from strOut the lists that strBlock holds
// (none for an empty block). The reader, like Windows's, also ends a line at
// a lone CR and trims 0x1A and other blanks around a line: a [ReadUserInfo]
// section that the line rules above miss would stay the one it reads, and
// the rewrite would change nothing that counts.
bool ReadsAsWritten(const std::string& strOut, const std::string& strBlock) {
  for (int nKey : {kKeyUserNameList, kKeyReadOnlyUserList}) {
    std::string strWritten;
    std::string strRead;
    if (GetIniValue(strBlock, nKey, strWritten) !=
            GetIniValue(strOut, nKey, strRead) ||
        strRead != strWritten)
      return false;
  }
  return true;
}

// Writes strData as the whole of a new file, flushed to the disk. The file
// is created exclusively; when that fails, whatever stands at the path (the
// leftover of an interrupted run, or something planted) is removed by its
// name (a link itself, never its target) and the create tried once more: a
// link planted in between makes it fail instead of redirecting the write.
// Returns false when the create, write, flush or close fails.
bool WriteNewFile(const std::string& strPath, const std::string& strData) {
  PlatFileHandle pFile = PlatCreateFile(strPath);
  if (pFile == nullptr && PlatDeleteFile(strPath))
    pFile = PlatCreateFile(strPath);
  if (pFile == nullptr) {
    TRACE_ERROR("Outputfile Open error. file=" + strPath);
    return false;
  }
  bool bWritten = PlatWrite(pFile.get(), strData) && PlatSync(pFile.get());
  bWritten = PlatClose(pFile) && bWritten;
  if (!bWritten) TRACE_ERROR("Outputfile Write error. file=" + strPath);
  return bWritten;
}

// Tells whether a change of the Folder.ini at strIni is carried out:
// kCommitWrite yes, kCommitSkip no but it counts as done (a preview, which
// keeps what it would have left), else the change's failure. A Folder.ini
// that is a link, a FIFO or a device is never written through; one that a
// skipped change stands for is the regular file it would have written.
int MayChange(const FolderIni& ini, const std::string& strIni,
              const std::string* pNew) {
  if (ini.bExists && g_mSkipped.count(strIni) == 0 &&
      !PlatIsRegularFile(strIni)) {
    TRACE_ERROR("Not a regular file. file=" + strIni);
    return kRewriteNotRegular;
  }
  int nCommit = g_fnCommit == nullptr ? kCommitWrite : g_fnCommit(ini, pNew);
  if (nCommit != kCommitWrite) TRACE_INT("Not written. nCommit", nCommit);
  if (nCommit == kCommitSkip)
    g_mSkipped[strIni] =
        pNew ? std::optional<std::string>(*pNew) : std::nullopt;
  return nCommit;
}

// The result of a change that MayChange did not let go ahead.
int NotCarriedOut(int nMay) { return nMay == kCommitSkip ? 1 : nMay; }

// Writes strData into Folder.ini.new and moves that over Folder.ini.
int ReplaceFolderIni(const FolderIni& ini, const std::string& strData) {
  std::string strIni = JoinPath(ini.strFolder, "Folder.ini");
  int nMay = MayChange(ini, strIni, &strData);
  if (nMay != kCommitWrite) return NotCarriedOut(nMay);
  std::string strNew = JoinPath(ini.strFolder, "Folder.ini.new");
  if (!WriteNewFile(strNew, strData)) return kRewriteNewFailed;
  TRACE_VALUE("Call MyMoveFile(). strNew", strNew);
  if (!MyMoveFile(strNew, strIni)) {
    TRACE("rename Folder.ini.new->Folder.ini failed.");
    return kRewriteMoveFailed;
  }
  TRACE("Write Success.");
  return 1;
}

// Returns the result of mode 2 for a file with or without the section.
int CheckResult(bool bFound) {
  TRACE(bFound ? "[ReadUserInfo] section found."
               : "[ReadUserInfo] section no found.");
  return bFound ? 1 : 0;
}

// Does the work of WriteAndCheckFolderIni for checked arguments, on the
// bytes read before. A missing Folder.ini reads as an empty one, except
// that there is nothing to delete.
int RewriteFolderIni(const FolderIni& ini, const std::string& strUserNameList,
                     const std::string& strReadOnlyUserList, int nMode) {
  if (!ini.bExists) {
    TRACE("Not exist Folder.ini");
    if (nMode == kIniDelete) return 1;
  }
  if (nMode == kIniCheck) return CheckResult(HasSectionHeader(ini.strData));
  std::string strOut;
  int nFound = RewriteFolderIniData(ini.strData, strUserNameList,
                                    strReadOnlyUserList, nMode, strOut);
  if (nFound < 0) {
    TRACE("The lists would not read back as written.");
    return nFound;
  }
  return ReplaceFolderIni(ini, strOut);
}

// Returns true iff the folder is given and the mode is 0, 1 or 2.
bool CheckArguments(const std::string& strFolder, int nMode) {
  if (strFolder.empty()) {
    TRACE("strFolder is Empty.");
    return false;
  }
  if (nMode == kIniWrite || nMode == kIniDelete || nMode == kIniCheck)
    return true;
  TRACE_INT("Parameter Error. nMode", nMode);
  return false;
}

}  // namespace

void SetFolderIniCommit(FolderIniCommit fnCommit) {
  g_fnCommit = fnCommit;
  g_mSkipped.clear();
}

int SkippedChangeOf(const std::string& strIniFile, std::string& strData) {
  auto it = g_mSkipped.find(strIniFile);
  if (it == g_mSkipped.end()) return 0;
  if (!it->second) return -1;
  strData = *it->second;
  return 1;
}

int PutFolderIni(const FolderIni& ini, const std::string& strData) {
  TRACE("Start PutFolderIni()");
  TRACE_VALUE("\tstrFolder", ini.strFolder);
  int nRet = ReplaceFolderIni(ini, strData);
  TRACE_INT("Return", nRet);
  return nRet;
}

int RemoveFolderIni(const FolderIni& ini) {
  TRACE("Start RemoveFolderIni()");
  TRACE_VALUE("\tstrFolder", ini.strFolder);
  if (!ini.bExists) return 1;
  std::string strIni = JoinPath(ini.strFolder, "Folder.ini");
  int nRet = MayChange(ini, strIni, nullptr);
  if (nRet != kCommitWrite)
    nRet = NotCarriedOut(nRet);
  else if (!MyDeleteFile(strIni) || !PlatSyncFolderOf(strIni))
    nRet = kRewriteDeleteFailed;
  TRACE_INT("Return", nRet);
  return nRet;
}

int RewriteFolderIniData(const std::string& strData,
                         const std::string& strUserNameList,
                         const std::string& strReadOnlyUserList, int nMode,
                         std::string& strOut) {
  std::string strBlock;
  if (nMode == kIniWrite)
    strBlock = SectionBlock(strUserNameList, strReadOnlyUserList);
  strOut.clear();
  bool bFound = FilterFolderIni(strData, strBlock, strOut);
  if (!bFound) strOut += strBlock;
  if (nMode != kIniCheck && !ReadsAsWritten(strOut, strBlock)) return -6;
  return bFound ? 1 : 0;
}

int WriteAndCheckFolderIni(const FolderIni& ini,
                           const std::string& strUserNameList,
                           const std::string& strReadOnlyUserList, int nMode) {
  TRACE("Start WriteAndCheckFolderIni()");
  TRACE_VALUE("\tstrFolder", ini.strFolder);
  TRACE_VALUE("\tstrUserNameList", strUserNameList);
  TRACE_VALUE("\tstrReadOnlyUserList", strReadOnlyUserList);
  TRACE_INT("\tnMode", nMode);
  if (!CheckArguments(ini.strFolder, nMode)) return -9;
  // Growing the line and file strings can run out of memory.
  try {
    int nRet =
        RewriteFolderIni(ini, strUserNameList, strReadOnlyUserList, nMode);
    TRACE_INT("Return", nRet);
    return nRet;
  } catch (const std::exception&) {
    TRACE("Exception Occured.");
    return -9;
  }
}

int deleteReadUserInfo(const FolderIni& ini) {
  TRACE("Start deleteReadUserInfo()");
  TRACE_VALUE("\tstrFolder", ini.strFolder);
  if (ini.strFolder.empty()) {
    TRACE("strFolder is Empty.");
    return -9;
  }
  TRACE("Call WriteAndCheckFolderIni()");
  int nRet = WriteAndCheckFolderIni(ini, "", "", kIniDelete);
  TRACE_INT("Return", nRet);
  return nRet;
}
