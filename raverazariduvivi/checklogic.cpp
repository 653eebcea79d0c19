#include "checklogic.h"

#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "iniaccess.h"
#include "platform/platform.h"
#include "raverazariduvivi_trace.h"

std::string g_strDataPath;

namespace {

// The platform's maximum path, the capacity of the DataFolder read.
constexpr unsigned kPathBufSize = 260;
constexpr size_t kMaxUserNameLen = 300;
const char* const kMinVersion = "V50L50";

// Characters that a user name may not hold: these single bytes and the
// full-width space of CP932.
const char kForbiddenBytes[] = "\\/:,;&?\"<>|'.*! ";
const char kFullWidthSpace[] = "\x81\x40";

unsigned char AsciiLower(char ch) {
  unsigned char uch = static_cast<unsigned char>(ch);
  return (uch >= 'A' && uch <= 'Z') ? static_cast<unsigned char>(uch + 32)
                                    : uch;
}

// An App Paths value may be quoted like a command line ("C:\Program
// Files\...\TenboEnvSet.exe"); one pair of quotes around the whole is no
// part of the path. A quote is never a trail byte of CP932.
void StripQuotes(std::string& strPath) {
  if (strPath.size() >= 2 && strPath.front() == '"' && strPath.back() == '"')
    strPath = strPath.substr(1, strPath.size() - 2);
}

// Checks the program path and the version level and builds the path of
// Tenbo2Lib.ini beside the program. strExe is cut to its folder.
int CheckProgram(std::string& strExe, const std::string& strVersion,
                 std::string& strIni) {
  if (strExe.empty()) return 0;
  if (MyGetFileKind(strExe) == kPlatMissing) return 0;
  if (!IsSupportedVersion(strVersion)) return -3;
  MyGetPathFunc(strExe, 0);
  TRACE_VALUE("pchExe", strExe);
  if (PlatGetFileKind(strExe) != kPlatDir) return -9;
  strIni = JoinPath(strExe, "Tenbo2Lib.ini");
  TRACE_VALUE("strTenbo2LibIni", strIni);
  return 1;
}

// Reads DataFolder from Tenbo2Lib.ini, checks the folder and its User.ini
// and publishes it in g_strDataPath.
int ReadDataFolder(const std::string& strIni) {
  char szData[kPathBufSize] = {};
  unsigned nLen = PlatGetPrivateProfileString("Common", "DataFolder", "",
                                              szData, kPathBufSize, strIni);
  std::string strData(szData);
  TRACE_VALUE("strDataPath", strData);
  if (nLen >= kPathBufSize - 1) return -9;
  if (strData.empty()) return -1;
  MyGetPathFunc(strData, 1);
  // A folder the system cannot tell about is no missing folder.
  int nKind = MyGetFileKind(strData);
  if (nKind != kPlatDir) return nKind == kPlatQueryFailed ? -9 : -2;
  std::string strUserIni = JoinPath(strData, "User.ini");
  TRACE_VALUE("strUserIni", strUserIni);
  if (MyGetFileKind(strUserIni) == kPlatMissing) return -4;
  g_strDataPath = strData;
  TRACE_VALUE("g_strDataPath", g_strDataPath);
  return 1;
}

// Returns the trace text for a failed administrator check.
const char* AdminErrorText(int nCheck) {
  switch (nCheck) {
    case kPlatTokenError:
      return "OpenProcessToken() Error.";
    case kPlatMemoryError:
      return "Memory Allocation Error.";
    case kPlatGroupsError:
      return "GetTokenInformation() Error.";
    case kPlatSidAdminError:
      return "AllocateAndInitializeSid(Administorator) Error.";
    case kPlatSidPowerError:
      return "AllocateAndInitializeSid(PowerUsers) Error.";
    case kPlatSidUsersError:
      return "AllocateAndInitializeSid(CommonUsers) Error.";
    default:
      return "PlatIsAdministrator() Error.";
  }
}

bool HasForbiddenChar(const std::string& strName) {
  for (const char* pch = kForbiddenBytes; *pch != '\0'; ++pch)
    if (MbFind(strName, std::string(1, *pch)) != std::string::npos) return true;
  return MbFind(strName, kFullWidthSpace) != std::string::npos;
}

// The rules of checkUserName in their order; the first that applies wins.
int VetUserName(std::string& strUsername, int bExist) {
  if (strUsername.empty() || strUsername.size() > kMaxUserNameLen) return -9;
  if (MbEqualNoCase(strUsername, kAdminName)) return -1;
  if (HasForbiddenChar(strUsername)) return -2;
  if (!bExist) return 1;
  std::string strUserList;
  if (getKeyValue(g_strDataPath, kKeyUserList, strUserList) != 1) return 0;
  int nFound = SearchUserString(strUserList, strUsername, 1, 0);
  return nFound == -1 ? -9 : nFound;
}

}  // namespace

int checkCSServerInstall() {
  TRACE("Start checkCSServerInstall()");
  std::string strExe;
  std::string strVersion;
  if (PlatReadAppPathsKey(strExe, strVersion) != 1) {
    TRACE_INT("Rerurn", 0);
    return 0;
  }
  StripQuotes(strExe);
  TRACE_VALUE("pchExe", strExe);
  TRACE_VALUE("strVersion", strVersion);
  std::string strIni;
  int nRet = CheckProgram(strExe, strVersion, strIni);
  // A missing Tenbo2Lib.ini is the one refusal without a Return line; one
  // the system cannot tell about is the same refusal, since the profile
  // reader would take it for empty.
  if (nRet == 1 && PlatGetFileKind(strIni) <= kPlatMissing) return -9;
  if (nRet == 1) nRet = ReadDataFolder(strIni);
  TRACE_INT("Return", nRet);
  return nRet;
}

bool IsSupportedVersion(const std::string& strVersion) {
  if (strVersion.empty()) return false;
  const std::string strMin = kMinVersion;
  for (size_t n = 0; n < strMin.size(); ++n) {
    if (n == strVersion.size()) return false;
    unsigned char chHave = AsciiLower(strVersion[n]);
    unsigned char chWant = AsciiLower(strMin[n]);
    if (chHave != chWant) return chHave > chWant;
  }
  return true;
}

bool MyGetPathFunc(std::string& czPath, int mode) {
  TRACE_VALUE("czPath", czPath);
  TRACE_INT("mode", mode);
  bool bCut = false;
  size_t nPos = czPath.size();
  while (nPos > 0) {
    nPos = MbPrevChar(czPath, nPos);
    if (czPath[nPos] == PlatPathSeparator()) {
      czPath.resize(nPos);
      bCut = true;
    } else if (mode == 1 || bCut) {
      break;
    }
  }
  bool bRet = !czPath.empty();
  TRACE_VALUE("czPath", czPath);
  TRACE_INT("Return", bRet);
  return bRet;
}

int checkMutex() {
  TRACE("Start checkMutex()");
  int nRet = PlatAcquireSingleInstance("Tb2CabinetAuth");
  TRACE_INT("Return", nRet);
  return nRet;
}

int checkAdmin() {
  TRACE("Start checkAdmin()");
  int nCheck = PlatIsAdministrator();
  if (nCheck < 0) {
    TRACE(AdminErrorText(nCheck));
    return 0;
  }
  int nRet = nCheck == kPlatAdmin ? 1 : 0;
  TRACE_INT("Return", nRet);
  return nRet;
}

int checkUserName(std::string& strUsername, int bExist) {
  TRACE("Start checkUserName()");
  TRACE_VALUE("strUsername", strUsername);
  TRACE_INT("bExist", bExist);
  int nRet = VetUserName(strUsername, bExist);
  TRACE_INT("Return", nRet);
  return nRet;
}
