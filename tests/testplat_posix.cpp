// Test-only OS services on POSIX systems.
#include <iconv.h>
#include <stdlib.h>

#include <cerrno>
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
  for (size_t nPos = 0; nPos < str.size(); nPos += MbCharLen(str, nPos)) {
    size_t nLen = MbCharLen(str, nPos);
    if (nLen == 1 && (str[nPos] == '\\' || str[nPos] == '"')) strOut += '\\';
    strOut += str.substr(nPos, nLen);
  }
  return strOut + "\"";
}

}  // namespace

bool TestSetAppPathsKey(const std::string& strExe,
                        const std::string& strVersion) {
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
