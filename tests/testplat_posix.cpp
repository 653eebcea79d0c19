// Test-only OS services on POSIX systems.
#include <fcntl.h>
#include <iconv.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "commonproc_mbcs.h"
#include "platform/platform.h"
#include "testutil.h"

std::string TestMakeTempDir() {
  const char* pszTmp = getenv("TMPDIR");
  std::string strTemplate =
      std::string(pszTmp != nullptr ? pszTmp : "/tmp") + "/ravtest.XXXXXX";
  if (mkdtemp(strTemplate.data()) == nullptr) return "";
  return strTemplate;
}

void TestRemoveTree(const std::string& strPath) {
  std::error_code ec;
  std::filesystem::remove_all(strPath, ec);
}

std::string TestUtf8ToCp932(const std::string& strUtf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return strUtf8;
  std::string strOut;
  char* pIn = const_cast<char*>(strUtf8.data());
  size_t nIn = strUtf8.size();
  while (nIn > 0) {
    char szBuf[256];
    char* pOut = szBuf;
    size_t nOut = sizeof szBuf;
    size_t nRet = iconv(cd, &pIn, &nIn, &pOut, &nOut);
    strOut.append(szBuf, pOut - szBuf);
    if (nRet == static_cast<size_t>(-1) && errno != E2BIG) {
      strOut += *pIn++;
      --nIn;
    }
  }
  iconv_close(cd);
  return strOut;
}

std::string TestNativePath(const std::string& strPath) { return strPath; }

namespace {

// The stand-in registry file lives in a folder of its own for the process.
std::string RegistryFile() {
  static const ScratchDir dirRegistry;
  return dirRegistry.Path("registry.reg");
}

// Quotes a value the way a REGEDIT4 export does; a trail byte that equals a
// backslash is part of its character and stays as it is.
std::string RegQuote(const std::string& str) {
  std::string strOut = "\"";
  for (size_t nPos = 0; nPos < str.size(); nPos += PlatCharLen(str, nPos)) {
    size_t nLen = PlatCharLen(str, nPos);
    if (nLen == 1 && (str[nPos] == '\\' || str[nPos] == '"')) strOut += '\\';
    strOut += str.substr(nPos, nLen);
  }
  return strOut + "\"";
}

}  // namespace

bool TestSetAppPathsKey(const std::string& strExe,
                        const std::string& strVersion, int nForm) {
  if (nForm != kTestRegPlain) return false;
  std::string strData =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
      "CurrentVersion\\App Paths\\TenboEnvSet.exe]\r\n";
  if (!strExe.empty()) strData += "@=" + RegQuote(strExe) + "\r\n";
  if (!strVersion.empty())
    strData += "\"version\"=" + RegQuote(strVersion) + "\r\n";
  return TestWriteRegistryExport(strData);
}

bool TestWriteRegistryExport(const std::string& strText) {
  return setenv("RAVERAZARIDUVIVI_REGISTRY", RegistryFile().c_str(), 1) == 0 &&
         TestWriteFile(RegistryFile(), strText);
}

void TestDeleteAppPathsKey() {
  setenv("RAVERAZARIDUVIVI_REGISTRY", RegistryFile().c_str(), 1);
  PlatDeleteFile(RegistryFile());
}

bool TestSetOwner(const std::string& strPath, unsigned nUid, unsigned nGid) {
  return lchown(strPath.c_str(), nUid, nGid) == 0;
}

bool TestLetOthersWrite(const std::string& strPath) {
  return chmod(strPath.c_str(), 0666) == 0;
}

bool TestSetXattr(const std::string& strPath, const std::string& strName,
                  const std::string& strValue) {
  return lsetxattr(strPath.c_str(), strName.c_str(), strValue.data(),
                   strValue.size(), 0) == 0;
}

namespace {

void AppendLittleEndian(std::string& strOut, unsigned nValue, int nBytes) {
  for (int nByte = 0; nByte < nBytes; ++nByte)
    strOut += static_cast<char>((nValue >> (8 * nByte)) & 0xFF);
}

// One entry of the kernel's ACL attribute: tag, permissions, id.
void AppendAclEntry(std::string& strAcl, unsigned nTag, unsigned nPerm,
                    unsigned nId = static_cast<unsigned>(ACL_UNDEFINED_ID)) {
  AppendLittleEndian(strAcl, nTag, 2);
  AppendLittleEndian(strAcl, nPerm, 2);
  AppendLittleEndian(strAcl, nId, 4);
}

std::string Hex(const std::string& strBytes) {
  std::string strOut;
  char szByte[3];
  for (unsigned char chByte : strBytes) {
    std::snprintf(szByte, sizeof szByte, "%02x", chByte);
    strOut += szByte;
  }
  return strOut;
}

// Returns the names of the extended attributes of the name itself.
std::vector<std::string> XattrNames(const std::string& strPath) {
  std::string strList(65536, '\0');
  ssize_t nSize = llistxattr(strPath.c_str(), &strList[0], strList.size());
  strList.resize(nSize > 0 ? static_cast<size_t>(nSize) : 0);
  std::vector<std::string> vNames;
  // Each name ends in a NUL, the last one too.
  for (size_t nPos = 0; nPos < strList.size();
       nPos = strList.find('\0', nPos) + 1)
    vNames.push_back(strList.c_str() + nPos);
  std::sort(vNames.begin(), vNames.end());
  return vNames;
}

}  // namespace

// Entries in the order the kernel wants: owner, the user, owning group, mask,
// others. The mask is read and write, so the group bits become rw.
bool TestSetAcl(const std::string& strPath, bool bDefault, unsigned nUid) {
  std::string strAcl;
  AppendLittleEndian(strAcl, POSIX_ACL_XATTR_VERSION, 4);
  AppendAclEntry(strAcl, ACL_USER_OBJ, ACL_READ | ACL_WRITE);
  AppendAclEntry(strAcl, ACL_USER, ACL_READ | ACL_WRITE, nUid);
  AppendAclEntry(strAcl, ACL_GROUP_OBJ, ACL_READ);
  AppendAclEntry(strAcl, ACL_MASK, ACL_READ | ACL_WRITE);
  AppendAclEntry(strAcl, ACL_OTHER, 0);
  return TestSetXattr(
      strPath,
      bDefault ? "system.posix_acl_default" : "system.posix_acl_access",
      strAcl);
}

std::string TestDescribeFile(const std::string& strPath) {
  struct stat st;
  if (lstat(strPath.c_str(), &st) != 0) return "";
  char szHead[64];
  std::snprintf(
      szHead, sizeof szHead, "%o %u:%u\n", static_cast<unsigned>(st.st_mode),
      static_cast<unsigned>(st.st_uid), static_cast<unsigned>(st.st_gid));
  std::string strOut = szHead;
  for (const std::string& strName : XattrNames(strPath)) {
    std::string strValue(65536, '\0');
    ssize_t nSize = lgetxattr(strPath.c_str(), strName.c_str(), &strValue[0],
                              strValue.size());
    if (nSize < 0) return "";
    strValue.resize(static_cast<size_t>(nSize));
    strOut += strName + "=" + Hex(strValue) + "\n";
  }
  return strOut;
}

bool TestCaptureConsole(const std::string& strText, std::string& strOut) {
  ScratchDir dir;
  std::string strPath = dir.Path("console.txt");
  if (std::fflush(stdout) != 0) return false;
  int nFile = open(strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (nFile < 0) return false;
  int nSaved = dup(STDOUT_FILENO);
  bool bRedirected = nSaved >= 0 && dup2(nFile, STDOUT_FILENO) >= 0;
  bool bWritten = bRedirected && PlatWriteConsole(strText);
  bool bRestored = nSaved >= 0 && dup2(nSaved, STDOUT_FILENO) >= 0;
  bool bClosed = nSaved >= 0 && close(nSaved) == 0;
  bClosed = close(nFile) == 0 && bClosed;
  strOut = TestReadFile(strPath);
  return bWritten && bRestored && bClosed;
}

bool TestHoldFile(const std::string&, int, int) { return false; }

bool TestHoldMachineLock(const std::string&) { return false; }

void TestReleaseHeldFiles() {}

// Each descriptor of the process is a link in /proc/self/fd to the resolved
// path of its file.
bool TestIsOpen(const std::string& strPath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path pathFile = fs::canonical(strPath, ec);
  if (ec) return false;
  for (const fs::directory_entry& entry :
       fs::directory_iterator("/proc/self/fd", ec)) {
    std::error_code ecLink;
    if (fs::read_symlink(entry.path(), ecLink) == pathFile) return true;
  }
  return false;
}
