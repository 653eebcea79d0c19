// File-system services of the end-to-end tests on Windows.
#include <windows.h>

#include "testfs.h"
#include "testutil.h"

namespace {

// Lets a process without the symbolic-link privilege create links where
// developer mode allows it; older headers lack the name.
constexpr DWORD kSymlinkUnprivileged = 0x2;

// Describes the entry that a find or an attribute query reported.
TestEntry ReadEntry(const std::string& strPath, DWORD dwAttributes) {
  TestEntry entry;
  if ((dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    entry.chKind = 'l';
  } else if ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    entry.chKind = 'd';
  } else {
    entry.chKind = 'f';
    entry.strData = TestReadFile(strPath);
  }
  return entry;
}

void Walk(const std::string& strFolder, const std::string& strRelative,
          std::map<std::string, TestEntry>& mOut) {
  WIN32_FIND_DATAA fd;
  HANDLE hFind = FindFirstFileA((strFolder + "\\*").c_str(), &fd);
  if (hFind == INVALID_HANDLE_VALUE) return;
  do {
    std::string strName = fd.cFileName;
    if (strName == "." || strName == "..") continue;
    std::string strPath = strFolder + "\\" + strName;
    TestEntry entry = ReadEntry(strPath, fd.dwFileAttributes);
    mOut[strRelative + strName] = entry;
    if (entry.chKind == 'd') Walk(strPath, strRelative + strName + "/", mOut);
  } while (FindNextFileA(hFind, &fd));
  FindClose(hFind);
}

// The errors of a system or a process that cannot make links at all.
bool Unsupported(DWORD dwError) {
  return dwError == ERROR_PRIVILEGE_NOT_HELD ||
         dwError == ERROR_NOT_SUPPORTED ||
         dwError == ERROR_CALL_NOT_IMPLEMENTED ||
         dwError == ERROR_INVALID_FUNCTION;
}

std::string Backslashed(std::string strPath) {
  for (char& ch : strPath)
    if (ch == '/') ch = '\\';
  return strPath;
}

}  // namespace

TestEntry TestReadEntry(const std::string& strPath) {
  DWORD dwAttributes = GetFileAttributesA(strPath.c_str());
  if (dwAttributes == INVALID_FILE_ATTRIBUTES) return TestEntry{'-', "", 0};
  return ReadEntry(strPath, dwAttributes);
}

std::map<std::string, TestEntry> TestSnapshot(const std::string& strRoot) {
  std::map<std::string, TestEntry> mOut;
  Walk(strRoot, "", mOut);
  return mOut;
}

// Wine reports some links as made that never appear; such a system cannot
// make them.
int TestMakeSymlink(const std::string& strPath, const std::string& strTarget) {
  if (!CreateSymbolicLinkA(strPath.c_str(), Backslashed(strTarget).c_str(),
                           kSymlinkUnprivileged))
    return Unsupported(GetLastError()) ? kTestUnsupported : kTestMakeFailed;
  DWORD dwAttributes = GetFileAttributesA(strPath.c_str());
  bool bThere = dwAttributes != INVALID_FILE_ATTRIBUTES &&
                (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return bThere ? kTestMade : kTestUnsupported;
}

int TestMakeHardLink(const std::string& strPath,
                     const std::string& strExisting) {
  if (!CreateHardLinkA(strPath.c_str(), strExisting.c_str(), nullptr))
    return Unsupported(GetLastError()) ? kTestUnsupported : kTestMakeFailed;
  bool bThere = GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
  return bThere ? kTestMade : kTestUnsupported;
}

int TestMakeFifo(const std::string&) { return kTestUnsupported; }

std::string TestToNative(const std::string& strText) { return strText; }

// A handle that may read the attributes only meets no other process's
// sharing mode.
std::string TestFileId(const std::string& strPath) {
  HANDLE hFile = CreateFileA(
      strPath.c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return "";
  BY_HANDLE_FILE_INFORMATION info;
  bool bRead = GetFileInformationByHandle(hFile, &info) != 0;
  CloseHandle(hFile);
  if (!bRead) return "";
  return std::to_string(info.dwVolumeSerialNumber) + ":" +
         std::to_string(info.nFileIndexHigh) + ":" +
         std::to_string(info.nFileIndexLow);
}
