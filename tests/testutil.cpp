#include "testutil.h"

#include <cstdlib>

#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "platform/platform.h"

namespace {

// Returns the position of the last path separator, skipping trail bytes.
size_t LastSeparator(const std::string& strPath) {
  size_t nLast = std::string::npos;
  for (size_t nPos = 0; nPos < strPath.size(); nPos += PlatCharLen(strPath, nPos))
    if (strPath[nPos] == PlatPathSeparator()) nLast = nPos;
  return nLast;
}

}  // namespace

ScratchDir::ScratchDir() : strRoot(TestMakeTempDir()) {}

ScratchDir::~ScratchDir() {
  if (!strRoot.empty()) TestRemoveTree(strRoot);
}

std::string ScratchDir::Path(const std::string& strRelative) const {
  if (strRelative.empty()) return strRoot;
  return JoinPath(strRoot, TestNativePath(strRelative));
}

bool TestMakeDirs(const std::string& strPath) {
  if (strPath.empty() || PlatGetFileKind(strPath) == kPlatDir) return true;
  size_t nCut = LastSeparator(strPath);
  if (nCut != std::string::npos && nCut > 0 &&
      !TestMakeDirs(strPath.substr(0, nCut)))
    return false;
  return PlatMakeDirectory(strPath);
}

bool TestWriteFile(const std::string& strPath, const std::string& strData) {
  size_t nCut = LastSeparator(strPath);
  if (nCut != std::string::npos && !TestMakeDirs(strPath.substr(0, nCut)))
    return false;
  // PlatCreateFile makes only new files; a test may rewrite one.
  if (PlatIsRegularFile(strPath)) TestRemoveTree(strPath);
  PlatFileHandle pFile = PlatCreateFile(strPath);
  if (pFile == nullptr) return false;
  bool bWritten = PlatWrite(pFile.get(), strData);
  return PlatClose(pFile) && bWritten;
}

std::string TestReadFile(const std::string& strPath) {
  std::string strData;
  if (PlatReadFile(strPath, strData) != 1) return "<missing>";
  return strData;
}

std::string CrLf(const std::vector<std::string>& vLines) {
  std::string strOut;
  for (const std::string& strLine : vLines) strOut += strLine + "\r\n";
  return strOut;
}

std::string TestSourceDir() {
  const char* pszDir = std::getenv("RAV_SOURCE_DIR");
  return TestNativePath(pszDir == nullptr ? "." : pszDir);
}
