#include "teststore.h"

#include <cstdio>

#include "commonproc.h"
#include "testutil.h"

namespace {

std::string NameList(const char* pszFormat, int nCount) {
  std::string strList = "NameList=";
  for (int n = 1; n <= nCount; ++n) {
    char szName[32];
    std::snprintf(szName, sizeof szName, pszFormat, n);
    strList += std::string(szName) + ",";
  }
  return strList;
}

bool MakeLibrary(const std::string& strData, int nLib, int nCabs, size_t nPad) {
  std::string strLib = JoinPath(strData, TestLibName(nLib));
  if (!TestWriteFile(JoinPath(strLib, "Folder.ini"),
                     CrLf({"[FolderInfo]", NameList("Cab%04d", nCabs)})))
    return false;
  for (int nCab = 1; nCab <= nCabs; ++nCab) {
    std::string strCab = TestCabName(nCab);
    if (!TestWriteFile(JoinPath(JoinPath(strLib, strCab), "Folder.ini"),
                       TestCabinetIni(strCab, false, nPad)))
      return false;
  }
  return true;
}

}  // namespace

std::string TestLibName(int nLib) { return "Lib" + std::to_string(nLib); }

std::string TestCabName(int nCab) {
  char szName[32];
  std::snprintf(szName, sizeof szName, "Cab%04d", nCab);
  return szName;
}

std::string TestCabinetIni(const std::string& strCab, bool bJiro, size_t nPad) {
  std::string strJiro = bJiro ? "jiro," : "";
  std::string strPad = nPad == 0 ? "" : "Pad=" + std::string(nPad, 'x');
  std::string strIni = CrLf({"[FolderInfo]", "Title=" + strCab});
  if (!strPad.empty()) strIni += CrLf({strPad});
  return strIni +
         CrLf({"", "[ReadUserInfo]", "UserNameList=admin,taro," + strJiro,
               "ReadOnlyUserList=admin,hanako," + strJiro});
}

bool TestMakeStore(const std::string& strRoot, const std::string& strData,
                   int nLibs, int nCabs, size_t nPad) {
  std::string strInst = JoinPath(strRoot, "inst");
  if (!TestWriteFile(JoinPath(strInst, "TenboEnvSet.exe"), "") ||
      !TestWriteFile(JoinPath(strInst, "Tenbo2Lib.ini"),
                     CrLf({"[Common]", "DataFolder=" + strData})) ||
      !TestSetAppPathsKey(JoinPath(strInst, "TenboEnvSet.exe"), "V50L50") ||
      !TestWriteFile(JoinPath(strData, "User.ini"),
                     CrLf({"[UserInfo]", "UserList=taro,hanako,jiro,"})) ||
      !TestWriteFile(JoinPath(strData, "Folder.ini"),
                     CrLf({"[FolderInfo]", NameList("Lib%d", nLibs)})))
    return false;
  for (int nLib = 1; nLib <= nLibs; ++nLib)
    if (!MakeLibrary(strData, nLib, nCabs, nPad)) return false;
  return true;
}
