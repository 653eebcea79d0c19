// Test-only OS services on Windows.
#include <aclapi.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "testutil.h"

namespace {

// Removes one folder entry; a folder is emptied first.
void RemoveEntry(const std::string& strPath) {
  DWORD dwAttr = GetFileAttributesA(strPath.c_str());
  if (dwAttr == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
  if ((dwAttr & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileA(strPath.c_str());
    return;
  }
  WIN32_FIND_DATAA fd;
  HANDLE hFind = FindFirstFileA((strPath + "\\*").c_str(), &fd);
  if (hFind != INVALID_HANDLE_VALUE) {
    do {
      std::string strName = fd.cFileName;
      if (strName != "." && strName != "..")
        RemoveEntry(strPath + "\\" + strName);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
  }
  RemoveDirectoryA(strPath.c_str());
}

const char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TenboEnvSet.exe";

// Sets a string value of the type, or removes it when strValue is empty.
bool SetValue(HKEY hKey, const char* pszName, const std::string& strValue,
              DWORD dwType = REG_SZ) {
  if (strValue.empty()) {
    LONG nResult = RegDeleteValueA(hKey, pszName);
    return nResult == ERROR_SUCCESS || nResult == ERROR_FILE_NOT_FOUND;
  }
  return RegSetValueExA(hKey, pszName, 0, dwType,
                        reinterpret_cast<const BYTE*>(strValue.c_str()),
                        static_cast<DWORD>(strValue.size() + 1)) ==
         ERROR_SUCCESS;
}

// The holders of the files that TestHoldFile keeps open. Each waits on the
// one release event, or until its time is up, then closes its file.
struct HeldFiles {
  HANDLE hRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::vector<std::thread> vHolders;
  ~HeldFiles() { Release(); }
  void Release() {
    if (hRelease != nullptr) SetEvent(hRelease);
    for (std::thread& holder : vHolders) holder.join();
    vHolders.clear();
    if (hRelease != nullptr) ResetEvent(hRelease);
  }
};

HeldFiles& Held() {
  static HeldFiles held;
  return held;
}

// True iff the 64-bit view's key holds strExe as its default value.
bool In64BitView(const std::string& strExe) {
  char szBuf[MAX_PATH] = {};
  DWORD dwSize = sizeof szBuf - 1;
  return RegGetValueA(HKEY_LOCAL_MACHINE, kAppPathsKey, nullptr,
                      RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, szBuf,
                      &dwSize) == ERROR_SUCCESS &&
         strExe == szBuf;
}

}  // namespace

// Wine links the 32-bit view's App Paths key to the 64-bit one: a 32-bit
// form written there shows in both views, and does not count as made.
bool TestSetAppPathsKey(const std::string& strExe,
                        const std::string& strVersion, int nForm) {
  REGSAM samView = nForm == kTestReg32Bit ? KEY_WOW64_32KEY : 0;
  DWORD dwType = nForm == kTestRegExpand ? REG_EXPAND_SZ : REG_SZ;
  HKEY hKey = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, 0,
                      KEY_WRITE | samView, nullptr, &hKey,
                      nullptr) != ERROR_SUCCESS)
    return false;
  bool bSet = SetValue(hKey, nullptr, strExe, dwType) &&
              SetValue(hKey, "version", strVersion);
  bSet = RegCloseKey(hKey) == ERROR_SUCCESS && bSet;
  return bSet && (nForm != kTestReg32Bit || !In64BitView(strExe));
}

void TestDeleteAppPathsKey() {
  for (REGSAM samView : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, samView, 0);
}

bool TestWriteRegistryExport(const std::string&) { return false; }

std::string TestMakeTempDir() {
  char szTemp[MAX_PATH];
  DWORD dwLen = GetTempPathA(MAX_PATH, szTemp);
  if (dwLen == 0 || dwLen >= MAX_PATH) return "";
  std::string strBase(szTemp, dwLen);
  if (!strBase.empty() && strBase.back() == '\\') strBase.pop_back();
  for (unsigned nTry = 0; nTry < 1000; ++nTry) {
    std::string strPath = strBase + "\\ravtest." +
                          std::to_string(GetCurrentProcessId()) + "." +
                          std::to_string(GetTickCount() + nTry);
    if (CreateDirectoryA(strPath.c_str(), nullptr)) return strPath;
  }
  return "";
}

void TestRemoveTree(const std::string& strPath) { RemoveEntry(strPath); }

std::string TestUtf8ToCp932(const std::string& strUtf8) {
  int nWide = MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(),
                                  static_cast<int>(strUtf8.size()), nullptr, 0);
  if (nWide <= 0) return strUtf8;
  std::wstring strWide(nWide, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(),
                      static_cast<int>(strUtf8.size()), &strWide[0], nWide);
  int nOut = WideCharToMultiByte(932, 0, strWide.data(), nWide, nullptr, 0,
                                 nullptr, nullptr);
  if (nOut <= 0) return strUtf8;
  std::string strOut(nOut, '\0');
  WideCharToMultiByte(932, 0, strWide.data(), nWide, &strOut[0], nOut, nullptr,
                      nullptr);
  return strOut;
}

std::string TestNativePath(const std::string& strPath) {
  std::string strOut = strPath;
  for (char& ch : strOut)
    if (ch == '/') ch = '\\';
  // Wine maps the Unix root to drive Z:.
  if (!strPath.empty() && strPath[0] == '/') strOut = "Z:" + strOut;
  return strOut;
}

// Owner, extended attributes and the console capture are POSIX tests;
// Windows skips them.
bool TestSetOwner(const std::string&, unsigned, unsigned) { return false; }

bool TestLetOthersWrite(const std::string& strPath) {
  SID_IDENTIFIER_AUTHORITY sia = SECURITY_WORLD_SID_AUTHORITY;
  PSID pEveryone = nullptr;
  if (!AllocateAndInitializeSid(&sia, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0,
                                0, &pEveryone))
    return false;
  EXPLICIT_ACCESSA access = {};
  access.grfAccessPermissions = GENERIC_READ | GENERIC_WRITE;
  access.grfAccessMode = GRANT_ACCESS;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.ptstrName = static_cast<LPSTR>(pEveryone);
  PACL pOld = nullptr, pNew = nullptr;
  PSECURITY_DESCRIPTOR pSd = nullptr;
  char* pszPath = const_cast<char*>(strPath.c_str());
  bool bOk =
      GetNamedSecurityInfoA(pszPath, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, &pOld, nullptr,
                            &pSd) == ERROR_SUCCESS &&
      SetEntriesInAclA(1, &access, pOld, &pNew) == ERROR_SUCCESS &&
      SetNamedSecurityInfoA(pszPath, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, pNew, nullptr) == ERROR_SUCCESS;
  LocalFree(pNew);
  LocalFree(pSd);
  FreeSid(pEveryone);
  return bOk;
}

bool TestSetXattr(const std::string&, const std::string&, const std::string&) {
  return false;
}

bool TestSetAcl(const std::string&, bool, unsigned) { return false; }

std::string TestDescribeFile(const std::string&) { return ""; }

bool TestCaptureConsole(const std::string&, std::string&) { return false; }

// The file is open (and locked) before the call returns, so the caller's
// next step already meets the hold; closing the handle drops the lock.
bool TestHoldFile(const std::string& strPath, int nMilliseconds, int nHow) {
  HANDLE hRelease = Held().hRelease;
  if (hRelease == nullptr) return false;
  const DWORD kShare[] = {
      0, FILE_SHARE_READ | FILE_SHARE_WRITE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
  HANDLE hFile =
      CreateFileA(strPath.c_str(), GENERIC_READ, kShare[nHow], nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED ov = {};
  if (nHow == kTestHoldLock &&
      !LockFileEx(hFile, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                  MAXDWORD, MAXDWORD, &ov)) {
    CloseHandle(hFile);
    return false;
  }
  Held().vHolders.emplace_back([hFile, hRelease, nMilliseconds] {
    WaitForSingleObject(hRelease, static_cast<DWORD>(nMilliseconds));
    CloseHandle(hFile);
  });
  return true;
}

// The handle is never closed: the mutex goes with the process.
bool TestHoldMachineLock(const std::string& strName) {
  SetLastError(ERROR_SUCCESS);
  HANDLE hMutex = CreateMutexA(nullptr, TRUE, ("Global\\" + strName).c_str());
  return hMutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

void TestReleaseHeldFiles() { Held().Release(); }

bool TestIsOpen(const std::string& strPath) {
  HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_READ, 0, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_SHARING_VIOLATION;
  static_cast<void>(CloseHandle(hFile));
  return false;
}
