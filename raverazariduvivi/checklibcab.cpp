#include "checklibcab.h"

#include "checklogic.h"
#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "iniaccess.h"
#include "platform/platform.h"
#include "raverazariduvivi_trace.h"

namespace {

// Reads the NameList of strFolder into the empty strList, folding
// getKeyValue's results into the list results: -9 (unreadable) is -1, a
// missing Folder.ini is no list.
int ReadNameList(const std::string& strFolder, std::string& strList) {
  int nRet = getKeyValue(strFolder, kKeyNameList, strList);
  if (nRet == -9) return -1;
  return nRet == 1 ? 1 : 0;
}

// Tells whether nothing stands at strChild. A folder the system cannot tell
// about (no right to look into it, a path it cannot name) is not absent: it
// is visited, and the read of its Folder.ini fails there.
bool IsAbsent(const std::string& strChild) {
  return MyGetFileKind(strChild) == kPlatMissing;
}

// Tells whether the child strName of strParent exists: a safe name, listed
// in the parent's NameList, with something at its path. On success strPath
// receives that path. -1 when the parent's list cannot be read: a child is
// never taken for absent because of a failed read.
int ExistChild(const std::string& strParent, const std::string& strName,
               std::string& strPath) {
  if (!IsSafeFolderName(strName)) return 0;
  std::string strChild = JoinPath(strParent, strName);
  if (IsAbsent(strChild)) return 0;
  int nListed = existInFolderIni(strParent, strName);
  if (nListed != 1) return nListed < 0 ? -1 : 0;
  strPath = strChild;
  return 1;
}

// ExistChild for a name taken from the parent's NameList itself: a search
// of that list finds every item it was cut into, so only the name and the
// folder are checked. A name holding a comma byte (the trail byte of a
// double-byte character) is looked up as ExistChild does.
int ExistListedChild(const std::string& strParent, const std::string& strName,
                     std::string& strPath) {
  if (strName.find(',') != std::string::npos)
    return ExistChild(strParent, strName, strPath);
  if (!IsSafeFolderName(strName)) return 0;
  std::string strChild = JoinPath(strParent, strName);
  if (IsAbsent(strChild)) return 0;
  strPath = strChild;
  return 1;
}

int FindInFolderIni(const std::string& strParent, const std::string& strName) {
  if (IsAbsent(strParent) || strName.empty()) return -1;
  if (!IsSafeFolderName(strName)) return 0;
  std::string strIni = JoinPath(strParent, "Folder.ini");
  if (IsAbsent(strIni)) return 0;
  TRACE_VALUE("Call getKeyValue(). csFolderIni", strIni);
  std::string strList;
  int nRead = getKeyValue(strParent, kKeyNameList, strList);
  if (nRead == -9) return -1;
  if (nRead != 1) return 0;
  std::string strKey = strName;
  return SearchUserString(strList, strKey, 0, 0);
}

}  // namespace

bool IsSafeFolderName(const std::string& strName) {
  return !strName.empty() && strName != "." && strName != ".." &&
         MbFind(strName, "/") == std::string::npos &&
         MbFind(strName, "\\") == std::string::npos;
}

int GetLibraryList(std::string& strLibraryList) {
  TRACE("Start GetLibraryList()");
  strLibraryList.clear();
  int nRet = ReadNameList(g_strDataPath, strLibraryList);
  TRACE_VALUE("strLibraryList", strLibraryList);
  TRACE_INT("Return", nRet);
  return nRet;
}

int GetCabinetList(const std::string& strLibrary, std::string& strCabinetList) {
  TRACE("Start GetCabinetList()");
  TRACE_VALUE("strLibrary", strLibrary);
  strCabinetList.clear();
  int nRet = 0;
  if (IsSafeFolderName(strLibrary))
    nRet = ReadNameList(JoinPath(g_strDataPath, strLibrary), strCabinetList);
  TRACE_VALUE("strCabinetList", strCabinetList);
  TRACE_INT("Return", nRet);
  return nRet;
}

int existLibrary(const std::string& strLibrary, std::string& strLibraryPath) {
  TRACE("Start existLibrary()");
  TRACE_VALUE("strLibrary", strLibrary);
  int nRet = ExistChild(g_strDataPath, strLibrary, strLibraryPath);
  TRACE_VALUE("strLibraryPath", strLibraryPath);
  TRACE_INT("Return", nRet);
  return nRet;
}

int existCabinet(const std::string& strLibrary, const std::string& strCabinet,
                 std::string& strCabinetPath) {
  TRACE("Start existCabinet()");
  TRACE_VALUE("strLibrary", strLibrary);
  TRACE_VALUE("strCabinet", strCabinet);
  int nRet = 0;
  if (IsSafeFolderName(strLibrary))
    nRet = ExistChild(JoinPath(g_strDataPath, strLibrary), strCabinet,
                      strCabinetPath);
  TRACE_VALUE("strCabinetPath", strCabinetPath);
  TRACE_INT("Return", nRet);
  return nRet;
}

int existListedLibrary(const std::string& strLibrary,
                       std::string& strLibraryPath) {
  TRACE("Start existListedLibrary()");
  TRACE_VALUE("strLibrary", strLibrary);
  int nRet = ExistListedChild(g_strDataPath, strLibrary, strLibraryPath);
  TRACE_INT("Return", nRet);
  return nRet;
}

int existListedCabinet(const std::string& strLibrary,
                       const std::string& strCabinet,
                       std::string& strCabinetPath) {
  TRACE("Start existListedCabinet()");
  TRACE_VALUE("strCabinet", strCabinet);
  int nRet = 0;
  if (IsSafeFolderName(strLibrary))
    nRet = ExistListedChild(JoinPath(g_strDataPath, strLibrary), strCabinet,
                            strCabinetPath);
  TRACE_INT("Return", nRet);
  return nRet;
}

int existInFolderIni(const std::string& strParent, const std::string& strName) {
  TRACE("Start existInFolderIni");
  TRACE_VALUE("strParent", strParent);
  TRACE_VALUE("strName", strName);
  int nRet = FindInFolderIni(strParent, strName);
  TRACE_INT("Return ", nRet);
  return nRet;
}

int checkCabinetAuth(const std::string& strCabinetPath, FolderIni& ini) {
  TRACE("Start checkCabinetAuth()");
  TRACE_VALUE("strCabinetPath", strCabinetPath);
  int nRet = ReadFolderIni(strCabinetPath, ini) < 0
                 ? -9
                 : WriteAndCheckFolderIni(ini, "", "", kIniCheck);
  if (nRet < 0) nRet = -9;
  TRACE_INT("Return", nRet);
  return nRet;
}
