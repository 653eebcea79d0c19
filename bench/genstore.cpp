#include "genstore.h"

#include <cstdio>
#include <vector>

#include "benchfs.h"

namespace {

// splitmix64: a tiny generator whose sequence is fixed by its definition,
// unlike the standard library's distributions, so a store recorded on one
// build is made again byte for byte on another.
struct Rng {
  uint64_t nState;
  uint64_t Next() {
    uint64_t z = (nState += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  size_t Below(size_t nBound) { return nBound == 0 ? 0 : Next() % nBound; }
};

// CP932 words; all but the last two end in a trail byte 0x5C.
const char* const kWords[] = {"ソ", "表", "能",   "予",  "十",
                              "申", "構", "山田", "佐藤"};
constexpr size_t kWordCount = sizeof kWords / sizeof kWords[0];
const char kGeneralViewer[] = "一般閲覧者!";

std::string Numbered(const char* pszFormat, int n) {
  char szBuf[64];
  std::snprintf(szBuf, sizeof szBuf, pszFormat, n);
  return szBuf;
}

bool IsLead(unsigned char ch) {
  return (ch >= 0x81 && ch <= 0x9F) || (ch >= 0xE0 && ch <= 0xFC);
}

// A full-width Latin letter: upper 0x8260 + n, lower 0x8281 + n.
std::string FullWidthLetter(int n, bool bUpper) {
  std::string str = "\x82";
  str += static_cast<char>((bUpper ? 0x60 : 0x81) + n % 26);
  return str;
}

// Registered user k and, beyond the registered range, unregistered names of
// the same shapes; no two differ only in case.
std::string UserName(int k) {
  if (k % 4 == 1)
    return kWords[static_cast<size_t>(k) % kWordCount] +
           FullWidthLetter(k, (k / 4) % 2 == 0) + std::to_string(k);
  return Numbered(k % 3 == 0 ? "User%05d" : "user%05d", k);
}

// Flips the case of every ASCII and full-width Latin letter.
std::string CaseVariant(const std::string& strName) {
  std::string str = strName;
  for (size_t n = 0; n < str.size(); ++n) {
    unsigned char ch = static_cast<unsigned char>(str[n]);
    if (IsLead(ch) && n + 1 < str.size()) {
      unsigned char chTrail = static_cast<unsigned char>(str[++n]);
      if (ch == 0x82 && chTrail >= 0x60 && chTrail <= 0x79) str[n] += 0x21;
      if (ch == 0x82 && chTrail >= 0x81 && chTrail <= 0x9A) str[n] -= 0x21;
    } else if ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'z') {
      str[n] = static_cast<char>(ch ^ 0x20);
    }
  }
  return str;
}

std::string LibName(int nLib) {
  return Numbered(nLib % 3 == 2 ? "表計算%03d" : "Lib%03d", nLib);
}

std::string CabName(int nCab) {
  if (nCab % 4 == 1) return Numbered("ソフト%05d", nCab);
  return Numbered(nCab % 4 == 3 ? "予算%05d" : "Cab%05d", nCab);
}

// One name drawn for a list: mostly registered users, with unregistered
// names, case variants and duplicates of names already drawn.
std::string DrawName(Rng& rng, const BenchStoreShape& shape,
                     const std::vector<std::string>& vList) {
  size_t nRoll = rng.Below(100);
  int nUsers = shape.nUsers > 0 ? shape.nUsers : 1;
  if (nRoll < 6 && !vList.empty()) return vList.back();
  if (nRoll < 10 && !vList.empty()) return vList[rng.Below(vList.size())];
  int nPick = static_cast<int>(rng.Below(static_cast<size_t>(nUsers)));
  if (nRoll < 18) return UserName(nUsers + nPick);
  if (nRoll < 23) return CaseVariant(UserName(nPick));
  return UserName(nPick);
}

void InsertAt(Rng& rng, std::vector<std::string>& vList,
              const std::string& strName) {
  vList.insert(vList.begin() + static_cast<long>(rng.Below(vList.size() + 1)),
               strName);
}

// One access list as it stands in the file; bBrowse: the browse list,
// which may hold the general viewer.
std::string MakeList(Rng& rng, const BenchStoreShape& shape, bool bBrowse) {
  std::vector<std::string> vList;
  size_t nAdmin = rng.Below(100);
  if (nAdmin < 93) vList.push_back(nAdmin < 90 ? "admin" : "ADMIN");
  while (vList.size() < static_cast<size_t>(shape.nNames))
    vList.push_back(DrawName(rng, shape, vList));
  size_t nGranted = rng.Below(100);
  if (nGranted < 8)
    InsertAt(
        rng, vList,
        nGranted < 5 ? BenchGrantedUser() : CaseVariant(BenchGrantedUser()));
  if (bBrowse && rng.Below(100) < 30) InsertAt(rng, vList, kGeneralViewer);
  std::string strList = BenchJoinList(vList);
  if (rng.Below(100) < 5 && !strList.empty()) strList.pop_back();
  return strList;
}

std::vector<std::string> OtherSection(Rng& rng) {
  return {"[Other]", "Key=" + std::to_string(rng.Below(100000)),
          "Memo=表示ソフト"};
}

// The lines of one cabinet's Folder.ini in one of its layouts.
std::vector<std::string> CabinetLines(Rng& rng, const BenchStoreShape& shape,
                                      const std::string& strCab) {
  size_t nLayout = rng.Below(100);
  std::vector<std::string> vInfo = {"[FolderInfo]", "Title=" + strCab};
  std::vector<std::string> vOther = OtherSection(rng);
  if (nLayout < 2) {
    vInfo.insert(vInfo.end(), vOther.begin(), vOther.end());
    return vInfo;
  }
  std::string strRW = MakeList(rng, shape, false);
  std::string strRO = MakeList(rng, shape, true);
  std::vector<std::string> vAuth = {"[ReadUserInfo]", "UserNameList=" + strRW};
  if (nLayout >= 5) vAuth.push_back("ReadOnlyUserList=" + strRO);
  if (nLayout < 10) vAuth.swap(vInfo);
  if (nLayout >= 10 && nLayout < 15)
    vAuth = {"", "  [ReadUserInfo]\t", " UserNameList=" + strRW + "  ",
             "\tReadOnlyUserList=" + strRO, ""};
  std::vector<std::string> vLines = vInfo;
  vLines.insert(vLines.end(), vAuth.begin(), vAuth.end());
  vLines.insert(vLines.end(), vOther.begin(), vOther.end());
  return vLines;
}

uint64_t CabinetSeed(const BenchStoreShape& shape, int nLib, int nCab) {
  Rng rng{shape.nSeed ^ (static_cast<uint64_t>(nLib) << 32) ^
          static_cast<uint64_t>(nCab)};
  return rng.Next();
}

bool MakeLibrary(const std::string& strData, const BenchStoreShape& shape,
                 int nLib) {
  std::string strLib = LibName(nLib);
  std::string strLibDir = strData + "/" + BenchUtf8(strLib);
  std::vector<std::string> vCabs;
  for (int nCab = 1; nCab <= shape.nCabs; ++nCab) {
    std::string strCab = CabName(nCab);
    vCabs.push_back(strCab);
    Rng rng{CabinetSeed(shape, nLib, nCab)};
    if (!BenchWriteFile(strLibDir + "/" + BenchUtf8(strCab) + "/Folder.ini",
                        BenchCrLf(CabinetLines(rng, shape, strCab))))
      return false;
  }
  return BenchWriteFile(
      strLibDir + "/Folder.ini",
      BenchCrLf({"[FolderInfo]", "Title=" + strLib,
                 "NameList=" + BenchJoinList(vCabs), "[Other]", "Key=1"}));
}

std::string RegisteredUsers(const BenchStoreShape& shape) {
  std::vector<std::string> vUsers;
  for (int k = 0; k < shape.nUsers; ++k) {
    if (k == shape.nUsers / 2) vUsers.push_back(BenchGrantedUser());
    vUsers.push_back(UserName(k));
  }
  if (shape.nUsers == 0) vUsers.push_back(BenchGrantedUser());
  return BenchJoinList(vUsers);
}

bool MakeDataFolder(const std::string& strData, const BenchStoreShape& shape) {
  std::vector<std::string> vLibs;
  for (int nLib = 1; nLib <= shape.nLibs; ++nLib) {
    vLibs.push_back(LibName(nLib));
    if (!MakeLibrary(strData, shape, nLib)) return false;
  }
  return BenchWriteFile(
             strData + "/User.ini",
             BenchCrLf({"[UserInfo]", "UserList=" + RegisteredUsers(shape),
                        "[Other]", "Key=1"})) &&
         BenchWriteFile(
             strData + "/Folder.ini",
             BenchCrLf({"[FolderInfo]", "NameList=" + BenchJoinList(vLibs)}));
}

// The program folder and the registry stand-in that names it, in the form
// of a REGEDIT4 export (its paths carry no quote or backslash).
bool MakeInstallation(const std::string& strRoot) {
  std::string strInst = strRoot + "/inst";
  std::string strKey =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
      "Paths\\TenboEnvSet.exe]";
  return BenchWriteFile(strInst + "/TenboEnvSet.exe", "") &&
         BenchWriteFile(
             strInst + "/Tenbo2Lib.ini",
             BenchCrLf({"[Common]",
                        "DataFolder=" + BenchCp932(BenchDataDir(strRoot))})) &&
         BenchWriteFile(
             BenchRegistryFile(strRoot),
             BenchCrLf({"REGEDIT4", "", strKey,
                        "@=\"" + BenchCp932(strInst) + "/TenboEnvSet.exe\"",
                        "\"version\"=\"V50L50\""}));
}

}  // namespace

std::string BenchGrantedUser() { return "ソ表ａ予"; }

std::string BenchDataDir(const std::string& strRoot) {
  return strRoot + "/data";
}

std::string BenchRegistryFile(const std::string& strRoot) {
  return strRoot + "/registry.reg";
}

std::string BenchCwdDir(const std::string& strRoot) { return strRoot + "/cwd"; }

bool BenchMakeStore(const std::string& strRoot, const BenchStoreShape& shape) {
  return MakeInstallation(strRoot) && BenchMakeDirs(BenchCwdDir(strRoot)) &&
         MakeDataFolder(BenchDataDir(strRoot), shape);
}
