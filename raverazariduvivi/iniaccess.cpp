#include "iniaccess.h"

#include <memory>
#include <new>
#include <utility>

#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "platform/platform.h"
#include "platform/profile_reader.h"
#include "raverazariduvivi_trace.h"

namespace {

// File, section and key of each key number.
constexpr const char* g_aKeyTable[4][3] = {
    {"Folder.ini", "FolderInfo", "NameList"},
    {"Folder.ini", "ReadUserInfo", "UserNameList"},
    {"Folder.ini", "ReadUserInfo", "ReadOnlyUserList"},
    {"User.ini", "UserInfo", "UserList"},
};

// The registered users read last, with the stamp of the User.ini they came
// from.
struct RegisteredCache {
  bool bValid = false;
  std::string strIniFile;
  long long nSize = 0;
  long long nTime = 0;
  UserListIndex index;
};

RegisteredCache g_registered;

constexpr size_t kMaxIniPath = 1023;
constexpr unsigned kBufStep = 1024;
const char kDefault[] = "!default";

// Reads the INI file whole into strData: 1 read, -1 missing, -9 a path
// over 1,023 bytes or a file that cannot be read. A preview's skipped
// change of the file stands for it.
int ReadIniFile(const std::string& strIniFile, std::string& strData) {
  if (strIniFile.size() > kMaxIniPath) {
    TRACE_VALUE("inifile path too long. inifile", strIniFile);
    return -9;
  }
  int nSkipped = SkippedChangeOf(strIniFile, strData);
  if (nSkipped != 0) {
    TRACE_VALUE("inifile as the preview left it. inifile", strIniFile);
    return nSkipped;
  }
  int nRead = MyReadFile(strIniFile, strData);
  if (nRead == kPlatReadOk) return 1;
  // Only "no such file" is a missing file: a path the system cannot name,
  // or a folder it may not look into, is a read that failed.
  if (nRead == kPlatReadMissing) {
    TRACE_VALUE("inifile not exist. inifile", strIniFile);
    return -1;
  }
  TRACE_ERROR("inifile cannot read. inifile=" + strIniFile);
  return -9;
}

// Reads the INI file pszName of strFolder as ReadIniFile does. A folder
// the system cannot tell about fails the read, even where the file itself
// would open: a failed query about a library or a cabinet is a failure.
int ReadFolderFile(const std::string& strFolder, const char* pszName,
                   std::string& strData) {
  if (MyGetFileKind(strFolder) == kPlatQueryFailed) return -9;
  return ReadIniFile(JoinPath(strFolder, pszName), strData);
}

void TraceProfileCall(const char* pszSection, const char* pszKey,
                      const char* pszBuffer, unsigned nSize) {
  TRACE(std::string("Call ProfileGetString()\n\tSection=") + pszSection +
        "\n\tKey=" + pszKey + "\n\tdefault=" + kDefault +
        "\n\tGetString=" + pszBuffer + "\n\tBufSize=" + std::to_string(nSize));
}

// Reads the value into strRead with a buffer that grows by 1,024 bytes while
// the reader may have cut the value. No value is longer than the file, so
// a first buffer of the file's size ends the loop in its first round.
// Returns 1, or -1 without memory.
int ReadProfileValue(const char* pszSection, const char* pszKey,
                     const std::string& strIniData, std::string& strRead) {
  unsigned nFirst = static_cast<unsigned>(
      (strIniData.size() + 2 + kBufStep - 1) / kBufStep * kBufStep);
  for (unsigned nSize = nFirst;; nSize += kBufStep) {
    std::unique_ptr<char[]> pBuffer(new (std::nothrow) char[nSize]());
    if (!pBuffer) {
      TRACE_INT("Buffer allocation failed. nBufSize", static_cast<int>(nSize));
      return -1;
    }
    unsigned dwRet = ProfileGetString(strIniData, pszSection, pszKey, kDefault,
                                      pBuffer.get(), nSize);
    TraceProfileCall(pszSection, pszKey, pBuffer.get(), nSize);
    TRACE_INT("dwRet", static_cast<int>(dwRet));
    if (dwRet < nSize - 1) {
      strRead.assign(pBuffer.get(), dwRet);
      return 1;
    }
  }
}

// Returns true iff the last character of a non-empty string is a comma.
bool EndsWithComma(const std::string& str) {
  return str.compare(MbPrevChar(str, str.size()), std::string::npos, ",") == 0;
}

// Looks value nKey up in the bytes of the INI file, with the results of
// GetIniValue for a checked key.
int LookUpValue(const std::string& strIniData, int nKey,
                std::string& strValue) {
  std::string strRead;
  if (ReadProfileValue(g_aKeyTable[nKey][1], g_aKeyTable[nKey][2], strIniData,
                       strRead) != 1)
    return -1;
  TRACE_VALUE("Get Value. strValue", strRead);
  if (strRead == kDefault) strRead.clear();
  if (!strRead.empty() && !EndsWithComma(strRead)) strRead += ",";
  strValue = strRead;
  TRACE_VALUE("strValue", strValue);
  return strValue.empty() ? 0 : 1;
}

// Looks strUser up as a whole item of the list, case-blind; 0 for the empty
// list.
int FindInList(const std::string& strList, const std::string& strUser) {
  if (strList.empty()) {
    TRACE("UserList is Empty.");
    return 0;
  }
  std::string strName = strUser;
  TRACE("Call SearchUserString()");
  return SearchUserString(strList, strName, 0, 0);
}

}  // namespace

int getKeyValue(const std::string& strFolder, int nKey, std::string& strValue) {
  TRACE("Start getKeyValue()");
  TRACE_VALUE("\tstrFolder", strFolder);
  TRACE_INT("\tnKey", nKey);
  if (strFolder.empty()) {
    TRACE("strFolder is Empty.");
    return -9;
  }
  if (nKey < kKeyNameList || nKey > kKeyUserList) return -9;
  TRACE_VALUE("strIniFile", JoinPath(strFolder, g_aKeyTable[nKey][0]));
  std::string strData;
  int nRet = ReadFolderFile(strFolder, g_aKeyTable[nKey][0], strData);
  if (nRet == 1) nRet = LookUpValue(strData, nKey, strValue);
  TRACE_INT("Return", nRet);
  return nRet;
}

int GetIniValue(const std::string& strIniData, int nKey,
                std::string& strValue) {
  if (nKey < kKeyNameList || nKey > kKeyUserList) return -9;
  return LookUpValue(strIniData, nKey, strValue);
}

int GetRegisteredUsers(const std::string& strFolder,
                       const UserListIndex*& pUsers) {
  std::string strIniFile = JoinPath(strFolder, g_aKeyTable[kKeyUserList][0]);
  long long nSize = 0;
  long long nTime = 0;
  bool bStamp = PlatGetFileStamp(strIniFile, nSize, nTime);
  RegisteredCache& cache = g_registered;
  if (!bStamp || !cache.bValid || cache.strIniFile != strIniFile ||
      cache.nSize != nSize || cache.nTime != nTime) {
    cache.bValid = false;
    std::string strList;
    int nRet = getKeyValue(strFolder, kKeyUserList, strList);
    if (nRet != 1) return nRet;
    IndexUserList(strList, 1, cache.index);
    cache.strIniFile = strIniFile;
    cache.nSize = nSize;
    cache.nTime = nTime;
    cache.bValid = bStamp;
  }
  pUsers = &cache.index;
  return 1;
}

int ReadFolderIni(const std::string& strFolder, FolderIni& ini) {
  TRACE("Start ReadFolderIni()");
  TRACE_VALUE("\tstrFolder", strFolder);
  ini = FolderIni();
  ini.strFolder = strFolder;
  int nRet = -9;
  if (!strFolder.empty())
    nRet = ReadFolderFile(strFolder, "Folder.ini", ini.strData);
  if (nRet == -1) nRet = 0;
  ini.bExists = nRet == 1;
  TRACE_INT("Return", nRet);
  return nRet;
}

int existUser(const FolderIni& ini, int nKey, const std::string& strUser,
              std::string& strValue, int bSetValue) {
  TRACE("Start existUser()");
  TRACE_VALUE("\tstrFolder", ini.strFolder);
  TRACE_INT("\tnKey", nKey);
  TRACE_VALUE("\tstrUser", strUser);
  TRACE_INT("\tbSetValue", bSetValue);
  if (strUser.empty() ||
      (nKey != kKeyUserNameList && nKey != kKeyReadOnlyUserList)) {
    TRACE("Parameter Error.");
    return -1;
  }
  std::string strList;
  TRACE("Call GetIniValue()");
  if (GetIniValue(ini.strData, nKey, strList) < 0) {
    TRACE("GetKeyValue() Error.");
    return -1;
  }
  if (bSetValue) strValue = strList;
  int nRet = FindInList(strList, strUser);
  TRACE_INT("Return", nRet);
  return nRet;
}
