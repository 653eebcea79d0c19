#include "commonproc.h"

#include "commonproc_mbcs.h"
#include "platform/platform.h"
#include "raverazariduvivi_trace.h"

const char kAdminName[] = "admin";

namespace {

constexpr int kFileTries = 5;
constexpr int kRetryWaitMs = 1000;

// Replaces every occurrence of the framed name strOld (",name,") in the
// framed list strFramed by strNew (",..." ending in a comma). The scan
// resumes at the closing comma of each replacement, so that comma frames a
// back-to-back duplicate as well.
void ReplaceFramed(std::string& strFramed, const std::string& strOld,
                   const std::string& strNew) {
  size_t nPos = MbFind(strFramed, strOld);
  while (nPos != std::string::npos) {
    strFramed.replace(nPos, strOld.size(), strNew);
    nPos = MbFind(strFramed, strOld, nPos + strNew.size() - 1);
  }
}

// Traces failed try nCount of the system call pszCall and waits before the
// next one.
void FailedTry(const char* pszCall, int nCount) {
  TRACE_ERROR(std::string(pszCall) +
              "() Failed (count=" + std::to_string(nCount) + ")");
  PlatSleep(kRetryWaitMs);
}

bool Exists(const std::string& strPath) {
  return PlatGetFileKind(strPath) != kPlatMissing;
}

// Tells whether strDst holds exactly the bytes of strSrc.
bool IsCompleteCopy(const std::string& strSrc, const std::string& strDst) {
  std::string strSrcData;
  std::string strDstData;
  if (MyReadFile(strSrc, strSrcData) != kPlatReadOk) return false;
  if (MyReadFile(strDst, strDstData) != kPlatReadOk) return false;
  return strSrcData == strDstData;
}

// The move where the system refuses an atomic replace: a retried copy, then
// a retried delete of the source.
bool CopyAndDelete(const std::string& strSrc, const std::string& strDst) {
  TRACE("Call MyCopyFile()");
  if (!MyCopyFile(strSrc, strDst)) {
    TRACE_ERROR("MyCopyFile() Failed.");
    return false;
  }
  TRACE("Call MyDeleteFile()");
  if (!MyDeleteFile(strSrc)) {
    TRACE("MyDeleteFile() Failed.(ignored)");
    return true;
  }
  if (Exists(strSrc) || !Exists(strDst)) {
    TRACE("MyMoveFile() Failed.");
    return false;
  }
  TRACE("MyMoveFile() Success.");
  return true;
}

}  // namespace

std::string JoinPath(const std::string& strFolder, const std::string& strName) {
  return strFolder + PlatPathSeparator() + strName;
}

void split(const std::string& s, const std::string& delim,
           std::vector<std::string>& vItems) {
  TRACE("Start split()");
  TRACE_VALUE("\ts", s);
  TRACE_VALUE("\tdelim", delim);
  vItems.clear();
  if (s.empty()) {
    TRACE("csStr.Length=0");
    return;
  }
  if (delim.empty()) {
    TRACE("delim is Empty.");
    return;
  }
  size_t nStart = 0;
  for (size_t nHit = MbFind(s, delim); nHit != std::string::npos;
       nHit = MbFind(s, delim, nStart)) {
    vItems.push_back(s.substr(nStart, nHit - nStart));
    nStart = nHit + delim.size();
  }
  vItems.push_back(s.substr(nStart));
  TRACE("split() is success.");
}

std::vector<std::string> NamesOf(const std::string& strList) {
  std::vector<std::string> vItems, vNames;
  split(strList, ",", vItems);
  for (std::string& strItem : vItems)
    if (!strItem.empty()) vNames.push_back(std::move(strItem));
  return vNames;
}

int SearchUserString(const std::string& strTarget, std::string& strSub,
                     int bCopyMatch, int bMatchCase) {
  TRACE("Start SearchUserString()");
  TRACE_VALUE("\tstrTarget", strTarget);
  TRACE_VALUE("\tstrSub", strSub);
  TRACE_INT("\tbCopyMatch", bCopyMatch);
  TRACE_INT("\tbMatchCase", bMatchCase);
  if (strTarget.empty() || strSub.empty()) {
    TRACE_INT("Return", -1);
    return -1;
  }
  std::string strHay = "," + (bMatchCase ? strTarget : MbLower(strTarget));
  std::string strNeedle = "," + (bMatchCase ? strSub : MbLower(strSub)) + ",";
  size_t nHit = MbFind(strHay, strNeedle);
  if (nHit == std::string::npos) {
    TRACE("Return: No found String.");
    return 0;
  }
  // The lowered copy keeps every byte position, and the haystack's leading
  // comma puts the name's start at the same offset of strTarget.
  if (bCopyMatch) strSub = strTarget.substr(nHit, strSub.size());
  TRACE("Return: Found String.");
  return 1;
}

bool IsRegularUserList(const std::string& strList) {
  for (size_t nPos = 0; nPos < strList.size();
       nPos += PlatCharLen(strList, nPos))
    if (PlatCharLen(strList, nPos) == 2 && strList[nPos + 1] == ',')
      return false;
  return true;
}

// Only the items that a comma ends can be found: the piece behind the last
// comma is left out.
void IndexUserList(const std::string& strList, int bMatchCase,
                   UserListIndex& index) {
  index.strList = strList;
  index.bMatchCase = bMatchCase;
  index.bRegular = IsRegularUserList(strList);
  index.setItems.clear();
  index.strKeyed.clear();
  if (!index.bRegular) return;
  index.strKeyed = bMatchCase ? strList : MbLower(strList);
  std::string_view svKeyed = index.strKeyed;
  for (size_t nStart = 0, nEnd;
       (nEnd = svKeyed.find(',', nStart)) != std::string_view::npos;
       nStart = nEnd + 1)
    index.setItems.insert(svKeyed.substr(nStart, nEnd - nStart));
}

bool IsInUserList(const UserListIndex& index, const std::string& strName) {
  if (strName.empty() || index.strList.empty()) return false;
  if (!index.bRegular || strName.find(',') != std::string::npos) {
    std::string strProbe = strName;
    return SearchUserString(index.strList, strProbe, 0, index.bMatchCase) == 1;
  }
  if (index.bMatchCase) return index.setItems.count(strName) > 0;
  return index.setItems.count(MbLower(strName)) > 0;
}

std::string DeleteUserString(const std::string& strTarget,
                             const std::string& strSub) {
  TRACE("Start DeleteUserString()");
  TRACE_VALUE("\tstrTarget", strTarget);
  TRACE_VALUE("\tstrSub", strSub);
  if (strTarget.empty() || strSub.empty()) {
    TRACE("Return: an argument is empty.");
    return strTarget;
  }
  std::string strFramed = "," + strTarget;
  ReplaceFramed(strFramed, "," + strSub + ",", ",");
  std::string strResult = strFramed.substr(1);
  // 0x2C is never a lead or trail byte, so a last byte ',' is a comma.
  if (!strResult.empty() && strResult.back() != ',') strResult += ',';
  TRACE_VALUE("Return", strResult);
  return strResult;
}

std::string ReplaceUserString(const std::string& strTarget,
                              const std::string& strSrcSub,
                              const std::string& strDstSub) {
  TRACE("Start ReplaceUserString()");
  TRACE_VALUE("\tstrTarget", strTarget);
  TRACE_VALUE("\tstrSrcSub", strSrcSub);
  TRACE_VALUE("\tstrDstSub", strDstSub);
  if (strTarget.empty() || strSrcSub.empty() || strDstSub.empty()) {
    TRACE("Return: an argument is empty.");
    return strTarget;
  }
  std::string strOldSub = strSrcSub;
  TRACE("Call SearchUserString()");
  SearchUserString(strTarget, strOldSub, 1, 0);
  std::string strFramed = "," + strTarget;
  ReplaceFramed(strFramed, "," + strOldSub + ",", "," + strDstSub + ",");
  std::string strResult = strFramed.substr(1);
  TRACE_VALUE("Return", strResult);
  return strResult;
}

int MyGetFileKind(const std::string& strPath) {
  int nKind = PlatGetFileKind(strPath);
  if (nKind == kPlatQueryFailed) TRACE_ERROR("Cannot check " + strPath);
  return nKind;
}

int MyReadFile(const std::string& strPath, std::string& strData, bool bOwn) {
  auto fnRead = bOwn ? PlatReadOwnFile : PlatReadFile;
  int nRet = fnRead(strPath, strData);
  for (int nCount = 1; nRet == kPlatReadBusy; ++nCount) {
    FailedTry("ReadFile", nCount);
    nRet = nCount < kFileTries ? fnRead(strPath, strData) : kPlatReadFailed;
  }
  return nRet;
}

bool MyCopyFile(const std::string& strSrc, const std::string& strDst) {
  TRACE("Start MyCopyFile()");
  TRACE_VALUE("\tstrSrc", strSrc);
  TRACE_VALUE("\tstrDst", strDst);
  if (!Exists(strSrc)) {
    TRACE("No found src.");
    return false;
  }
  int nCount = 1;
  while (nCount <= kFileTries && !PlatCopyFile(strSrc, strDst))
    FailedTry("CopyFile", nCount++);
  bool bCopied = nCount <= kFileTries && IsCompleteCopy(strSrc, strDst);
  if (bCopied)
    TRACE("MyCopyFile() Success.");
  else
    TRACE_ERROR("MyCopyFile() Failed.");
  return bCopied;
}

bool MyDeleteFile(const std::string& strDst) {
  TRACE("Start MyDeleteFile()");
  TRACE_VALUE("\tstrDst", strDst);
  if (!Exists(strDst)) {
    TRACE("File not found.");
    return true;
  }
  for (int nCount = 1; nCount <= kFileTries && !PlatDeleteFile(strDst);
       ++nCount)
    FailedTry("DeleteFile", nCount);
  bool bGone = !Exists(strDst);
  if (bGone)
    TRACE("MyDeleteFile() Success.");
  else
    TRACE_ERROR("MyDeleteFile() Failed.");
  return bGone;
}

bool MyMoveFile(const std::string& strSrc, const std::string& strDst) {
  TRACE("Start MyMoveFile()");
  TRACE_VALUE("\tstrSrc", strSrc);
  TRACE_VALUE("\tstrDst", strDst);
  if (!Exists(strSrc)) {
    TRACE("File not found.");
    return false;
  }
  for (int nCount = 1; nCount <= kFileTries; ++nCount) {
    int nResult = PlatReplaceFile(strSrc, strDst);
    if (nResult == kPlatReplaced) {
      TRACE("MyMoveFile() Success.");
      return true;
    }
    if (nResult == kPlatRefused) {
      TRACE_ERROR("ReplaceFile() refused; copy and delete.");
      return CopyAndDelete(strSrc, strDst);
    }
    if (nResult == kPlatNotRegular) {
      TRACE_ERROR("ReplaceFile() Failed: not a regular file.");
      return false;
    }
    FailedTry("ReplaceFile", nCount);
  }
  TRACE("MyMoveFile() Failed.");
  return false;
}
