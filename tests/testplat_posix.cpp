// Test-only OS services on POSIX systems.
#include <iconv.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>

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
