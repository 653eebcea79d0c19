// The Windows backend of the platform interface: the ANSI ("A") API, whose
// strings are already in the system code page, CP932 on the target systems.
//
// Every system call goes through Win (or Nameable first, for a path), which
// keeps a failure with the call's name, the path and the system's error code
// and text for PlatLastError.
#include <aclapi.h>
#include <mbstring.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform.h"
#include "platform_internal.h"
#include "platform_test_helper.h"

struct PlatFile {
  HANDLE hFile;
  std::string strPath;  // as the caller gave it, for faults and errors
};

namespace {

// An open file stays open to others: two writers may append to the same log
// at once, and a reader or the retried move may reach a file being written.
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TenboEnvSet.exe";
const DWORD kRegBufferSize = 260;

// Keeps GetLastError()'s failure of pszCall on strPath for PlatLastError,
// with the system's own text (in the ANSI code page, like every text of the
// tool); the thread's last error stays as it was.
void WindowsError(const char* pszCall, const std::string& strPath) {
  DWORD dwError = GetLastError();
  char szText[512];
  DWORD dwLen =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, dwError, 0, szText, sizeof szText, nullptr);
  std::string strText(szText, dwLen);
  while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r'))
    strText.pop_back();
  PlatRecordError(pszCall, strPath,
                  "error " + std::to_string(dwError) + ", " + strText);
  SetLastError(dwError);
}

// The one wrapper of every system call of this backend: passes bOk on and
// keeps a failure for PlatLastError.
bool Win(const char* pszCall, const std::string& strPath, bool bOk) {
  if (!bOk) WindowsError(pszCall, strPath);
  return bOk;
}

// The ANSI calls convert a path into a buffer of MAX_PATH wide characters,
// its NUL included. A longer path fails in ways that read like "no such
// folder" (ERROR_PATH_NOT_FOUND), so it is refused first with the error
// that says what it is, ERROR_FILENAME_EXCED_RANGE: a path the system
// cannot name is a failure, never an absent file.
bool Nameable(const char* pszCall, const std::string& strPath) {
  int nWide = MultiByteToWideChar(CP_ACP, 0, strPath.c_str(), -1, nullptr, 0);
  if (nWide > 0 && nWide <= MAX_PATH) return true;
  SetLastError(ERROR_FILENAME_EXCED_RANGE);
  WindowsError(pszCall, strPath);
  return false;
}

// Only these errors say that nothing stands at the path; every other
// failure (access denied, a dropped network name, a file being deleted)
// leaves it unknown.
bool IsAbsent(DWORD dwError) {
  return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

// CreateFileA through the wrapper; INVALID_HANDLE_VALUE on failure.
HANDLE OpenPath(const std::string& strPath, DWORD dwAccess, DWORD dwDisposition,
                DWORD dwFlags) {
  if (!Nameable("CreateFileA", strPath)) return INVALID_HANDLE_VALUE;
  HANDLE hFile = CreateFileA(strPath.c_str(), dwAccess, kShareAll, nullptr,
                             dwDisposition, dwFlags, nullptr);
  Win("CreateFileA", strPath, hFile != INVALID_HANDLE_VALUE);
  return hFile;
}

// Closes a handle whose close counts; true on success.
bool CloseChecked(HANDLE hFile, const std::string& strPath) {
  return Win("CloseHandle", strPath, CloseHandle(hFile) != 0);
}

HANDLE OpenForRead(const std::string& strPath) {
  return OpenPath(strPath, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
}

// Reads what is left of the open file: kPlatReadOk at its end,
// kPlatReadBusy when another process has locked a range of it
// (ERROR_LOCK_VIOLATION), else kPlatReadFailed.
int ReadToEnd(HANDLE hFile, const std::string& strPath, std::string& strData) {
  char szBuf[65536];
  for (;;) {
    DWORD dwRead = 0;
    if (!Win("ReadFile", strPath,
             ReadFile(hFile, szBuf, sizeof szBuf, &dwRead, nullptr) != 0))
      return GetLastError() == ERROR_LOCK_VIOLATION ? kPlatReadBusy
                                                    : kPlatReadFailed;
    if (dwRead == 0) return kPlatReadOk;
    strData.append(szBuf, dwRead);
  }
}

// Sorts the error of an open for reading: nothing at the path; another
// process's hold (it opened the file without sharing it, or locked a range
// of it), which passes; or any other failure.
int OpenError(DWORD dwError) {
  if (IsAbsent(dwError)) return kPlatReadMissing;
  if (dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION)
    return kPlatReadBusy;
  return kPlatReadFailed;
}

// Reads the information of the open file; false unless it is a regular
// file: on a disk, and neither a folder nor a reparse point (a symbolic
// link, a junction) nor a device. The handle must be allowed to read
// attributes.
bool ReadRegularInfo(HANDLE hFile, const std::string& strPath,
                     BY_HANDLE_FILE_INFORMATION& info) {
  if (GetFileType(hFile) != FILE_TYPE_DISK) {
    PlatRecordError("GetFileType", strPath, "not a file on a disk");
    return false;
  }
  if (!Win("GetFileInformationByHandle", strPath,
           GetFileInformationByHandle(hFile, &info) != 0))
    return false;
  const DWORD dwOther = FILE_ATTRIBUTE_DIRECTORY |
                        FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  if ((info.dwFileAttributes & dwOther) == 0) return true;
  PlatRecordError("GetFileInformationByHandle", strPath, "not a regular file");
  return false;
}

bool IsRegularHandle(HANDLE hFile, const std::string& strPath) {
  BY_HANDLE_FILE_INFORMATION info;
  return ReadRegularInfo(hFile, strPath, info);
}

// The attributes alone take a DOS device name (NUL, COM1) for a file; an
// open handle tells. It may read the attributes only, so no other process's
// sharing mode stands in its way, and it is the link's own handle, not its
// target's. False unless a regular file stands at the path itself.
bool ReadPathInfo(const std::string& strPath,
                  BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE hFile = OpenPath(strPath, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                          FILE_FLAG_OPEN_REPARSE_POINT);
  if (hFile == INVALID_HANDLE_VALUE) return false;
  bool bRegular = ReadRegularInfo(hFile, strPath, info);
  return CloseChecked(hFile, strPath) && bRegular;
}

// True iff nothing stands at the path (and the system can tell).
bool IsFree(const std::string& strPath) {
  return PlatGetFileKind(strPath) == kPlatMissing;
}

// True iff nothing stands at the path, or a regular file does.
bool IsFreeOrRegular(const std::string& strPath) {
  return IsFree(strPath) || PlatIsRegularFile(strPath);
}

// A replacement with a second name would keep the new content reachable
// there, and ReplaceFileA would give that file the old one's security.
bool IsFreeOrSoleName(const std::string& strPath) {
  BY_HANDLE_FILE_INFORMATION info;
  return IsFree(strPath) ||
         (ReadPathInfo(strPath, info) && info.nNumberOfLinks == 1);
}

PlatFileHandle OpenForWrite(const std::string& strPath, DWORD dwAccess,
                            DWORD dwDisposition, DWORD dwFlags) {
  if (PLAT_FAULT(kFaultCreate, strPath)) return nullptr;
  HANDLE hFile = OpenPath(strPath, dwAccess, dwDisposition,
                          FILE_ATTRIBUTE_NORMAL | dwFlags);
  if (hFile == INVALID_HANDLE_VALUE) return nullptr;
  return PlatFileHandle(new PlatFile{hFile, strPath});
}

// The errors of a replace that only a copy onto the old file gets past: the
// two files are on different volumes, or the file system (a network share)
// has no replace at all. Another process's hold of the old file (a virus
// scanner or the search indexer opens it without delete sharing:
// ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_ACCESS_DENIED,
// ERROR_UNABLE_TO_REMOVE_REPLACED) passes within moments, so it fails this
// try and the caller tries the atomic replace again.
int ReplaceError(DWORD dwError) {
  bool bRefused = dwError == ERROR_NOT_SAME_DEVICE ||
                  dwError == ERROR_NOT_SUPPORTED ||
                  dwError == ERROR_INVALID_FUNCTION;
  return bRefused ? kPlatRefused : kPlatReplaceFailed;
}

// Gives the new file the old one's access-control list. ReplaceFileA does
// the same, but when it stops half way with ERROR_UNABLE_TO_MOVE_REPLACEMENT
// the old file is gone and the new one still has the list it was created
// with (inherited from the folder, often wider), which the move after it
// would put in place. False when the list cannot be read or set; nothing
// has changed then.
bool TakeOverDacl(const std::string& strOld, const std::string& strNew) {
  if (!Nameable("GetFileSecurityA", strOld) ||
      !Nameable("SetFileSecurityA", strNew))
    return false;
  std::vector<BYTE> vSd(1024);
  DWORD dwNeeded = 0;
  const SECURITY_INFORMATION kDacl = DACL_SECURITY_INFORMATION;
  if (!GetFileSecurityA(strOld.c_str(), kDacl, vSd.data(),
                        static_cast<DWORD>(vSd.size()), &dwNeeded)) {
    if (!Win("GetFileSecurityA", strOld,
             GetLastError() == ERROR_INSUFFICIENT_BUFFER))
      return false;
    vSd.resize(dwNeeded);
    if (!Win("GetFileSecurityA", strOld,
             GetFileSecurityA(strOld.c_str(), kDacl, vSd.data(), dwNeeded,
                              &dwNeeded) != 0))
      return false;
  }
  return Win("SetFileSecurityA", strNew,
             SetFileSecurityA(strNew.c_str(), kDacl, vSd.data()) != 0);
}

// Opens the file again to flush it to the disk.
bool FlushByName(const std::string& strPath) {
  HANDLE hFile =
      OpenPath(strPath, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (hFile == INVALID_HANDLE_VALUE) return false;
  bool bFlushed =
      Win("FlushFileBuffers", strPath, FlushFileBuffers(hFile) != 0);
  return CloseChecked(hFile, strPath) && bFlushed;
}

// Moves the new file onto a name that no old file holds any more.
int MoveInto(const std::string& strSrc, const std::string& strDst) {
  if (Nameable("MoveFileExA", strSrc) && Nameable("MoveFileExA", strDst) &&
      Win("MoveFileExA", strSrc,
          MoveFileExA(strSrc.c_str(), strDst.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0))
    return kPlatReplaced;
  return ReplaceError(GetLastError());
}

// Fills in the %VARIABLE%s of a REG_EXPAND_SZ value; "" when the call fails
// or the result does not fit the 260-byte buffer. The ANSI call may want
// one byte more than the result and its NUL.
std::string Expanded(const std::string& strValue) {
  char szBuf[kRegBufferSize + 1] = {};
  DWORD dwLen =
      ExpandEnvironmentStringsA(strValue.c_str(), szBuf, kRegBufferSize + 1);
  if (!Win("ExpandEnvironmentStringsA", strValue, dwLen != 0) ||
      dwLen > kRegBufferSize + 1)
    return "";
  std::string strOut(szBuf);
  return strOut.size() < kRegBufferSize ? strOut : "";
}

// Reads one string value into the 260-byte buffer; a value that does not
// fit, is absent or is no string comes back empty. A REG_EXPAND_SZ value
// (what an installer writes for a path under %ProgramFiles%) comes back
// expanded.
std::string QueryString(HKEY hKey, const char* pszName) {
  char szBuf[kRegBufferSize + 1] = {};
  DWORD dwType = 0;
  DWORD dwSize = kRegBufferSize;
  LONG nResult = RegQueryValueExA(hKey, pszName, nullptr, &dwType,
                                  reinterpret_cast<BYTE*>(szBuf), &dwSize);
  if (nResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
    return "";
  std::string strValue(szBuf);  // the stored string may lack its NUL
  if (strValue.size() >= kRegBufferSize) return "";
  return dwType == REG_EXPAND_SZ ? Expanded(strValue) : strValue;
}

// Creates the named mutex, owned by this thread, and keeps it. True when
// no other process has it: it is new or, with bMayBeOurs, this thread owns
// it already or its owner has ended.
bool TakeMutex(const std::string& strName, bool bMayBeOurs) {
  SetLastError(ERROR_SUCCESS);
  HANDLE hMutex = CreateMutexA(nullptr, TRUE, strName.c_str());
  DWORD dwError = GetLastError();
  if (!Win("CreateMutexA", strName, hMutex != nullptr) ||
      dwError == ERROR_ACCESS_DENIED)
    return false;
  if (dwError != ERROR_ALREADY_EXISTS) return true;
  if (!bMayBeOurs) return false;
  DWORD dwWait = WaitForSingleObject(hMutex, 0);
  Win("WaitForSingleObject", strName, dwWait != WAIT_FAILED);
  return dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
}

// Builds the well-known group S-1-5-32-nAlias; nullptr on failure.
PSID MakeBuiltinSid(DWORD dwAlias) {
  SID_IDENTIFIER_AUTHORITY sia = SECURITY_NT_AUTHORITY;
  PSID pSid = nullptr;
  if (!AllocateAndInitializeSid(&sia, 2, SECURITY_BUILTIN_DOMAIN_RID, dwAlias,
                                0, 0, 0, 0, 0, 0, &pSid))
    return nullptr;
  return pSid;
}

// Reads one kind of the process token's information (its groups, its user)
// into pInfo; returns 1, or a kPlat*Error code.
int ReadTokenInfo(TOKEN_INFORMATION_CLASS nClass,
                  std::unique_ptr<BYTE[]>& pInfo) {
  HANDLE hToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
    return kPlatTokenError;
  DWORD dwSize = 0;
  int nResult = 1;
  if (!GetTokenInformation(hToken, nClass, nullptr, 0, &dwSize) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    nResult = kPlatGroupsError;
  if (nResult == 1) pInfo.reset(new (std::nothrow) BYTE[dwSize]);
  if (nResult == 1 && pInfo == nullptr) nResult = kPlatMemoryError;
  if (nResult == 1 &&
      !GetTokenInformation(hToken, nClass, pInfo.get(), dwSize, &dwSize))
    nResult = kPlatGroupsError;
  if (!CloseHandle(hToken) && nResult == 1) nResult = kPlatTokenError;
  return nResult;
}

// Membership counts whatever the group's attributes say: a deny-only
// Administrators group (a filtered token) still passes.
bool HasGroup(const TOKEN_GROUPS* pGroups, PSID pAdmins, PSID pPowerUsers) {
  for (DWORD dwIndex = 0; dwIndex < pGroups->GroupCount; ++dwIndex) {
    PSID pSid = pGroups->Groups[dwIndex].Sid;
    if (EqualSid(pSid, pAdmins) || EqualSid(pSid, pPowerUsers)) return true;
  }
  return false;
}

// Builds the three groups, in the order Administrators, Power Users, Users,
// and looks for the first two in the token's groups.
int CheckGroups(const TOKEN_GROUPS* pGroups) {
  PSID pAdmins = MakeBuiltinSid(DOMAIN_ALIAS_RID_ADMINS);
  PSID pPowerUsers = MakeBuiltinSid(DOMAIN_ALIAS_RID_POWER_USERS);
  PSID pUsers = MakeBuiltinSid(DOMAIN_ALIAS_RID_USERS);
  int nResult = kPlatNotAdmin;
  if (pAdmins == nullptr)
    nResult = kPlatSidAdminError;
  else if (pPowerUsers == nullptr)
    nResult = kPlatSidPowerError;
  else if (pUsers == nullptr)
    nResult = kPlatSidUsersError;
  else if (HasGroup(pGroups, pAdmins, pPowerUsers))
    nResult = kPlatAdmin;
  for (PSID pSid : {pAdmins, pPowerUsers, pUsers})
    if (pSid != nullptr) FreeSid(pSid);
  return nResult;
}

// Builds the well-known account S-1-5-18 of the system itself; nullptr on
// failure.
PSID MakeSystemSid() {
  SID_IDENTIFIER_AUTHORITY sia = SECURITY_NT_AUTHORITY;
  PSID pSid = nullptr;
  if (!AllocateAndInitializeSid(&sia, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0,
                                0, 0, 0, &pSid))
    return nullptr;
  return pSid;
}

// The accounts that may own or write a file of the tool's own: the user
// running it, the Administrators group and the system itself.
struct TrustedSids {
  std::unique_ptr<BYTE[]> pUser;
  PSID pAdmins = MakeBuiltinSid(DOMAIN_ALIAS_RID_ADMINS);
  PSID pSystem = MakeSystemSid();
  ~TrustedSids() {
    for (PSID pSid : {pAdmins, pSystem})
      if (pSid != nullptr) FreeSid(pSid);
  }
  bool IsTrusted(PSID pSid) const {
    PSID pUserSid = reinterpret_cast<TOKEN_USER*>(pUser.get())->User.Sid;
    return EqualSid(pSid, pUserSid) || EqualSid(pSid, pAdmins) ||
           EqualSid(pSid, pSystem);
  }
};

// Tells whether no allowed entry of the access list lets an account that
// is not trusted write the file, its access list or its owner. A missing
// list lets everyone do everything.
bool NoOtherWriter(const ACL* pDacl, const TrustedSids& sids) {
  const DWORD dwWrite = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC |
                        WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  if (pDacl == nullptr) return false;
  for (DWORD dwIndex = 0; dwIndex < pDacl->AceCount; ++dwIndex) {
    void* pAce = nullptr;
    if (!GetAce(const_cast<ACL*>(pDacl), dwIndex, &pAce)) return false;
    const ACE_HEADER* pHeader = static_cast<const ACE_HEADER*>(pAce);
    if (pHeader->AceType != ACCESS_ALLOWED_ACE_TYPE ||
        (pHeader->AceFlags & INHERIT_ONLY_ACE) != 0)
      continue;
    const ACCESS_ALLOWED_ACE* pAllowed =
        static_cast<const ACCESS_ALLOWED_ACE*>(pAce);
    PSID pSid = const_cast<DWORD*>(&pAllowed->SidStart);
    if ((pAllowed->Mask & dwWrite) != 0 && !sids.IsTrusted(pSid)) return false;
  }
  return true;
}

// Tells whether the open file is the account's own and no one else may
// write it: its owner is the user or the Administrators group, and its
// access list lets no other account write it. A file planted in a shared
// folder fails. The handle must be allowed READ_CONTROL.
bool IsOwnHandle(HANDLE hFile, const std::string& strPath) {
  TrustedSids sids;
  PSID pOwner = nullptr;
  PACL pDacl = nullptr;
  PSECURITY_DESCRIPTOR pSd = nullptr;
  DWORD dwError =
      GetSecurityInfo(hFile, SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &pOwner, nullptr, &pDacl, nullptr, &pSd);
  SetLastError(dwError);
  if (!Win("GetSecurityInfo", strPath, dwError == ERROR_SUCCESS)) return false;
  bool bOwn = sids.pAdmins != nullptr && sids.pSystem != nullptr &&
              ReadTokenInfo(TokenUser, sids.pUser) == 1 &&
              (sids.IsTrusted(pOwner) && !EqualSid(pOwner, sids.pSystem)) &&
              NoOtherWriter(pDacl, sids);
  LocalFree(pSd);
  if (!bOwn)
    PlatRecordError("GetSecurityInfo", strPath,
                    "not the account's own, or others may write it");
  return bOwn;
}

}  // namespace

char PlatPathSeparator() { return '\\'; }

int PlatGetFileKind(const std::string& strPath) {
  if (!Nameable("GetFileAttributesA", strPath)) return kPlatQueryFailed;
  DWORD dwAttr = GetFileAttributesA(strPath.c_str());
  if (!Win("GetFileAttributesA", strPath, dwAttr != INVALID_FILE_ATTRIBUTES))
    return IsAbsent(GetLastError()) ? kPlatMissing : kPlatQueryFailed;
  return (dwAttr & FILE_ATTRIBUTE_DIRECTORY) != 0 ? kPlatDir : kPlatFile;
}

bool PlatIsRegularFile(const std::string& strPath) {
  BY_HANDLE_FILE_INFORMATION info;
  return ReadPathInfo(strPath, info);
}

// A pipe or a device is refused before the first ReadFile, which could wait
// on it. A ReadFile that fails midway hands on no part of the file; when it
// meets a range that another process has locked (LockFileEx), the file is
// busy, like one held without sharing, and the caller tries again. Wine
// does not enforce byte-range locks on ReadFile (the read simply passes),
// so the tests under Wine show only that such a lock fails no run.
int PlatReadFile(const std::string& strPath, std::string& strData) {
  if (PLAT_FAULT(kFaultRead, strPath)) return kPlatReadFailed;
  if (PLAT_FAULT(kFaultBusy, strPath)) return kPlatReadBusy;
  HANDLE hFile = OpenForRead(strPath);
  if (hFile == INVALID_HANDLE_VALUE) return OpenError(GetLastError());
  std::string strRead;
  int nResult = IsRegularHandle(hFile, strPath)
                    ? ReadToEnd(hFile, strPath, strRead)
                    : kPlatReadFailed;
  if (!CloseChecked(hFile, strPath)) nResult = kPlatReadFailed;
  if (nResult == kPlatReadOk) strData.swap(strRead);
  return nResult;
}

// FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which IsRegularHandle
// then refuses.
int PlatReadOwnFile(const std::string& strPath, std::string& strData) {
  if (PLAT_FAULT(kFaultRead, strPath)) return kPlatReadFailed;
  HANDLE hFile = OpenPath(strPath, GENERIC_READ, OPEN_EXISTING,
                          FILE_FLAG_OPEN_REPARSE_POINT);
  if (hFile == INVALID_HANDLE_VALUE) return OpenError(GetLastError());
  std::string strRead;
  bool bOk = IsRegularHandle(hFile, strPath) && IsOwnHandle(hFile, strPath) &&
             ReadToEnd(hFile, strPath, strRead);
  if (!CloseChecked(hFile, strPath)) bOk = false;
  if (bOk) strData.swap(strRead);
  return bOk ? kPlatReadOk : kPlatReadFailed;
}

// CREATE_NEW fails on any name that exists, a dangling link included, so
// nothing is ever written through a link planted at the path.
PlatFileHandle PlatCreateFile(const std::string& strPath) {
  return OpenForWrite(strPath, GENERIC_WRITE, CREATE_NEW, 0);
}

// FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the
// end of the file, even when another writer has appended meanwhile.
// FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which is then refused
// like a device or a pipe.
PlatFileHandle PlatOpenAppend(const std::string& strPath) {
  PlatFileHandle pFile = OpenForWrite(
      strPath,
      FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE,
      OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT);
  if (pFile == nullptr || (IsRegularHandle(pFile->hFile, strPath) &&
                           IsOwnHandle(pFile->hFile, strPath)))
    return pFile;
  // Refused: what the handle would have written to is no regular file, or
  // not the account's own; the owner closes it.
  return nullptr;
}

bool PlatWrite(PlatFile* pFile, const std::string& strData) {
  if (PLAT_FAULT(kFaultWrite, pFile->strPath)) return false;
  size_t nDone = 0;
  while (nDone < strData.size()) {
    DWORD dwChunk =
        static_cast<DWORD>(std::min<size_t>(strData.size() - nDone, 1u << 30));
    DWORD dwWritten = 0;
    if (!Win("WriteFile", pFile->strPath,
             WriteFile(pFile->hFile, strData.data() + nDone, dwChunk,
                       &dwWritten, nullptr) != 0))
      return false;
    if (dwWritten == 0) {
      PlatRecordError("WriteFile", pFile->strPath, "nothing written");
      return false;
    }
    nDone += dwWritten;
  }
  return true;
}

bool PlatSync(PlatFile* pFile) {
  if (PLAT_FAULT(kFaultSync, pFile->strPath)) return false;
  return Win("FlushFileBuffers", pFile->strPath,
             FlushFileBuffers(pFile->hFile) != 0);
}

// WriteFile buffers nothing in the process, so closing is the whole flush.
bool PlatClose(PlatFileHandle& pFile) {
  std::unique_ptr<PlatFile> pOpen(pFile.release());
  bool bFault = PLAT_FAULT(kFaultClose, pOpen->strPath);
  return CloseChecked(pOpen->hFile, pOpen->strPath) && !bFault;
}

// Reached only on paths that have already failed, or that have no use for
// the result, so a failed close changes nothing.
void PlatFileCloser::operator()(PlatFile* pFile) const {
  static_cast<void>(CloseHandle(pFile->hFile));
  delete pFile;
}

// CopyFileA returns with the data in the system's cache; the caller deletes
// the source next, so the copy is flushed before it counts as made.
bool PlatCopyFile(const std::string& strSrc, const std::string& strDst) {
  if (PLAT_FAULT(kFaultCopy, strDst)) return false;
  if (!PlatIsRegularFile(strSrc) || !IsFreeOrRegular(strDst)) return false;
  return Nameable("CopyFileA", strSrc) && Nameable("CopyFileA", strDst) &&
         Win("CopyFileA", strDst,
             CopyFileA(strSrc.c_str(), strDst.c_str(), FALSE) != 0) &&
         FlushByName(strDst);
}

bool PlatDeleteFile(const std::string& strPath) {
  if (PLAT_FAULT(kFaultDelete, strPath)) return false;
  return Nameable("DeleteFileA", strPath) &&
         Win("DeleteFileA", strPath, DeleteFileA(strPath.c_str()) != 0);
}

// ReplaceFileA keeps the old file's access-control list, attributes and
// streams, not its owner; it needs an existing old file, so a first write
// is a plain move. A move after a ReplaceFileA that failed would lose them,
// so it follows only the errors 1176 and 1177, which leave the old name
// free and the new file intact, and the new file has the old one's list by
// then (TakeOverDacl). Wine's ReplaceFile moves the old file away and
// deletes it, then moves the new one in, and copies no security: there the
// list comes from TakeOverDacl alone. A hold of the old file without delete
// sharing stops it at the first move with ERROR_SHARING_VIOLATION, nothing
// changed; its stop between the two moves cannot be brought about from
// outside, so the tests under Wine show the hold, not the 1176 path.
int PlatReplaceFile(const std::string& strSrc, const std::string& strDst) {
  if (PLAT_FAULT(kFaultRefuse, strDst)) return kPlatRefused;
  if (PLAT_FAULT(kFaultReplace, strDst)) return kPlatReplaceFailed;
  if (!IsFreeOrSoleName(strSrc) || !IsFreeOrRegular(strDst))
    return kPlatNotRegular;
  // A first write is a plain move; a Folder.ini the system cannot tell about
  // is never moved over, which would drop its security.
  int nKind = PlatGetFileKind(strDst);
  if (nKind == kPlatQueryFailed) return kPlatReplaceFailed;
  if (nKind == kPlatMissing) return MoveInto(strSrc, strDst);
  // A file system without access lists (FAT, some shares) has none to widen.
  if (!TakeOverDacl(strDst, strSrc) && GetLastError() != ERROR_NOT_SUPPORTED &&
      GetLastError() != ERROR_INVALID_FUNCTION)
    return kPlatReplaceFailed;
  if (Win("ReplaceFileA", strDst,
          ReplaceFileA(strDst.c_str(), strSrc.c_str(), nullptr,
                       REPLACEFILE_WRITE_THROUGH, nullptr, nullptr) != 0))
    return kPlatReplaced;
  DWORD dwError = GetLastError();
  bool bNameFree = dwError == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                   dwError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
  return bNameFree ? MoveInto(strSrc, strDst) : ReplaceError(dwError);
}

// Windows gives a program no flush of a folder's entries: FlushFileBuffers
// takes a file or a whole volume, and NTFS journals its entries itself.
bool PlatSyncFolderOf(const std::string&) { return true; }

bool PlatMakeDirectory(const std::string& strPath) {
  return Nameable("CreateDirectoryA", strPath) &&
         Win("CreateDirectoryA", strPath,
             CreateDirectoryA(strPath.c_str(), nullptr) != 0);
}

bool PlatGetCurrentDirectory(std::string& strDir) {
  DWORD dwSize = GetCurrentDirectoryA(0, nullptr);
  if (!Win("GetCurrentDirectoryA", "", dwSize != 0)) return false;
  std::vector<char> vBuf(dwSize);
  DWORD dwLen = GetCurrentDirectoryA(dwSize, vBuf.data());
  if (!Win("GetCurrentDirectoryA", "", dwLen != 0) || dwLen >= dwSize)
    return false;
  strDir.assign(vBuf.data(), dwLen);
  return true;
}

void PlatSleep(int nMilliseconds) {
  if (PLAT_SLEEP_WAITS() && nMilliseconds > 0)
    Sleep(static_cast<DWORD>(nMilliseconds));
}

// A 32-bit installer registers its App Paths entry in the 32-bit view of
// the registry, where a 32-bit tool would find it; this 64-bit build looks
// there first and then in its own view, so when both views hold the key,
// the 32-bit one wins.
HKEY OpenAppPathsKey() {
  const REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
  for (REGSAM samView : kViews) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_READ | samView,
                      &hKey) == ERROR_SUCCESS)
      return hKey;
  }
  return nullptr;
}

int PlatReadAppPathsKey(std::string& strDefault, std::string& strVersion) {
  HKEY hKey = OpenAppPathsKey();
  if (hKey == nullptr) return 0;
  strDefault = QueryString(hKey, nullptr);
  strVersion = QueryString(hKey, "version");
  // The values are read; a failing close changes nothing about them.
  static_cast<void>(RegCloseKey(hKey));
  return 1;
}

unsigned PlatGetPrivateProfileString(const char* pszSection, const char* pszKey,
                                     const char* pszDefault, char* pBuffer,
                                     unsigned nSize,
                                     const std::string& strIniPath) {
  return GetPrivateProfileStringA(pszSection, pszKey, pszDefault, pBuffer,
                                  nSize, strIniPath.c_str());
}

// Windows has no signal for a write beyond a size limit: the write fails.
void PlatInitProcess() {}

// The plain name lives in the logon session's namespace, where other
// programs look for it; "Global\" gives one per machine, so that a copy in
// another session (a second administrator over Remote Desktop, a scheduled
// task) is seen too. A mutex needs no privilege there (only file mappings
// and symbolic links do). A service in session 0 uses the global namespace
// by default: there both names are one mutex, which this thread then owns
// twice. Under Wine the two are separate objects, as in a user's session.
// The handles are never closed: the system drops the mutexes with the
// process.
int PlatAcquireSingleInstance(const char* pszName) {
  std::string strName = pszName;
  return TakeMutex(strName, false) && TakeMutex("Global\\" + strName, true) ? 1
                                                                            : 0;
}

int PlatIsAdministrator() {
  std::unique_ptr<BYTE[]> pGroups;
  int nResult = ReadTokenInfo(TokenGroups, pGroups);
  if (nResult != 1) return nResult;
  return CheckGroups(reinterpret_cast<const TOKEN_GROUPS*>(pGroups.get()));
}

// The arguments are ANSI already.
std::vector<std::string> PlatGetArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::string PlatGetCommandLine(int, char**) { return GetCommandLineA(); }

namespace {

// Writes CP932 text to the console as UTF-16, whatever its output code page
// (chcp 65001, a UTF-8 terminal); the console starts a new line at "\n".
// A CP932 byte gives at most one UTF-16 unit.
bool WriteConsoleText(HANDLE hConsole, const std::string& strText) {
  if (strText.empty()) return true;
  int nBytes = static_cast<int>(strText.size());
  std::vector<wchar_t> vWide(strText.size());
  int nWide =
      MultiByteToWideChar(932, 0, strText.data(), nBytes, vWide.data(), nBytes);
  if (!Win("MultiByteToWideChar", "", nWide != 0)) return false;
  for (int nDone = 0; nDone < nWide;) {
    DWORD dwWritten = 0;
    if (!Win("WriteConsoleW", "",
             WriteConsoleW(hConsole, vWide.data() + nDone,
                           static_cast<DWORD>(nWide - nDone), &dwWritten,
                           nullptr) != 0) ||
        dwWritten == 0)
      return false;
    nDone += static_cast<int>(dwWritten);
  }
  return true;
}

}  // namespace

// Into a pipe or a file the bytes go as they are, CP932, through stdout in
// text mode: the core ends lines with "\n" and the CRT writes CR LF, as a
// console program does. Under Wine the tool has a console only on a
// terminal, where Wine writes the text as UTF-8 (CP932 bytes written there
// come out garbled, code page 932 or not); a test runs it so, before and
// after chcp 65001, while the golden cases see the bytes of a pipe.
bool PlatWriteConsole(const std::string& strText) {
  HANDLE hOut = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD dwMode = 0;
  if (hOut != nullptr && hOut != INVALID_HANDLE_VALUE &&
      GetConsoleMode(hOut, &dwMode))
    return WriteConsoleText(hOut, strText);
  bool bWritten =
      std::fwrite(strText.data(), 1, strText.size(), stdout) == strText.size();
  return std::fflush(stdout) == 0 && bWritten;
}

// Only a console handle has a console mode; a pipe or a file has none.
namespace {

// Converts all of strIn from CP932 to UTF-8; false when some byte is no
// CP932 character (MB_ERR_INVALID_CHARS, so that nothing is replaced
// silently by the system's default character).
bool AnsiToUtf8(const std::string& strIn, std::string& strOut) {
  if (strIn.empty()) return true;
  int nBytes = static_cast<int>(strIn.size());
  std::vector<wchar_t> vWide(strIn.size());
  int nWide = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, strIn.data(),
                                  nBytes, vWide.data(), nBytes);
  if (nWide == 0) return false;
  // One UTF-16 unit from CP932 takes at most three UTF-8 bytes.
  std::string strUtf8(static_cast<size_t>(nWide) * 3, '\0');
  int nUtf8 =
      WideCharToMultiByte(CP_UTF8, 0, vWide.data(), nWide, &strUtf8[0],
                          static_cast<int>(strUtf8.size()), nullptr, nullptr);
  if (nUtf8 == 0) return false;
  strUtf8.resize(static_cast<size_t>(nUtf8));
  strOut += strUtf8;
  return true;
}

}  // namespace

std::string PlatAnsiToUtf8(const std::string& strText) {
  std::string strOut;
  if (AnsiToUtf8(strText, strOut)) return strOut;
  strOut.clear();
  for (size_t nPos = 0; nPos < strText.size();) {
    size_t nLen = PlatCharLen(strText, nPos);
    if (!AnsiToUtf8(strText.substr(nPos, nLen), strOut))
      strOut += "\xEF\xBF\xBD";
    nPos += nLen;
  }
  return strOut;
}

bool PlatConsoleIsTerminal() {
  DWORD dwMode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &dwMode) != 0;
}

bool PlatIsLeadByte(unsigned char chByte) {
  return IsDBCSLeadByte(chByte) != 0;
}

// The CRT lower-cases with the multibyte code page it took from the system
// at start-up.
unsigned PlatLowerChar(unsigned nChar) { return _mbctolower(nChar); }

bool PlatGetFileStamp(const std::string& strPath, long long& nSize,
                      long long& nTime) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!Nameable("GetFileAttributesExA", strPath) ||
      !Win("GetFileAttributesExA", strPath,
           GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard,
                                &data) != 0))
    return false;
  nSize = static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  nTime = static_cast<long long>(data.ftLastWriteTime.dwHighDateTime) << 32 |
          data.ftLastWriteTime.dwLowDateTime;
  return true;
}
