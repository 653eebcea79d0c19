// The floor: the least file work that a safe run of the tool must do for
// the same command on the same store, done in linear time. The runner
// times the tool against it.
//
//   rav_floor set <data folder> <user>
//   rav_floor cleanup|list|listall <data folder>
//
// It takes the single-instance lock, reads each Folder.ini once (the data
// folder's, each library's, each cabinet's) and User.ini at most once per
// run. A changed cabinet is written safely: Folder.ini.new created
// exclusively, written, flushed to the disk, renamed over Folder.ini, and
// the cabinet folder flushed. Its records go to the result file in the
// current folder with one write per cabinet, so a record once written
// survives a kill. The changes follow the tool's rules closely enough to
// write the same amount (add or clean the lists, drop duplicates, admin in
// front); the runner checks only the tool's bytes, never the floor's.
//
// Exit code: 1 done, 2 failure, 3 the lock is held by another process.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "benchfs.h"

namespace {

constexpr int kExitDone = 1;
constexpr int kExitFailed = 2;
constexpr int kExitLocked = 3;

const char kGeneralViewer[] = "一般閲覧者!";
const char kSectionHeader[] = "[readuserinfo]";

enum class Command { kSet, kCleanup, kList, kListAll };

struct Run {
  Command cmd;
  std::string strData;      // native data folder
  std::string strUser;      // CP932, the spelling User.ini has
  std::string strUserList;  // User.ini's UserList once read, and its names
  std::vector<std::string_view> vRegistered;
  std::unordered_set<std::string_view> setRegistered;
  bool bUsersRead = false;
  int nResultFd = -1;
  int nTargets = 0;
};

// Lower-cases ASCII and full-width Latin letters, the letters the lists
// hold; other characters stay.
std::string Lower(const std::string& str) {
  std::string strOut = str;
  for (size_t n = 0; n < strOut.size(); ++n) {
    unsigned char ch = static_cast<unsigned char>(strOut[n]);
    if (((ch >= 0x81 && ch <= 0x9F) || ch >= 0xE0) && n + 1 < strOut.size()) {
      unsigned char chTrail = static_cast<unsigned char>(strOut[++n]);
      if (ch == 0x82 && chTrail >= 0x60 && chTrail <= 0x79) strOut[n] += 0x21;
    } else if (ch >= 'A' && ch <= 'Z') {
      strOut[n] = static_cast<char>(ch + 0x20);
    }
  }
  return strOut;
}

// The file's lines, CR LF or LF ended, trimmed of blanks (never trail
// bytes); blank ones dropped.
std::vector<std::string> Lines(const std::string& strData) {
  std::vector<std::string> vLines;
  for (size_t nStart = 0; nStart < strData.size();) {
    size_t nEnd = strData.find('\n', nStart);
    if (nEnd == std::string::npos) nEnd = strData.size();
    std::string strLine = strData.substr(nStart, nEnd - nStart);
    size_t nFirst = strLine.find_first_not_of(" \t\r");
    if (nFirst != std::string::npos)
      vLines.push_back(strLine.substr(
          nFirst, strLine.find_last_not_of(" \t\r") - nFirst + 1));
    nStart = nEnd + 1;
  }
  return vLines;
}

bool IsAuthHeader(const std::string& strLine) {
  return Lower(strLine.substr(0, sizeof kSectionHeader - 1)) == kSectionHeader;
}

// The value of the first key strKey in the first section strSection.
std::string Value(const std::vector<std::string>& vLines,
                  const std::string& strSection, const std::string& strKey) {
  bool bIn = false;
  for (const std::string& strLine : vLines) {
    if (strLine[0] == '[') {
      bIn = Lower(strLine) == "[" + strSection + "]";
      continue;
    }
    size_t nEq = strLine.find('=');
    if (bIn && nEq != std::string::npos &&
        Lower(strLine.substr(0, nEq)) == strKey)
      return strLine.substr(nEq + 1);
  }
  return "";
}

bool HasAuth(const std::vector<std::string>& vLines) {
  for (const std::string& strLine : vLines)
    if (IsAuthHeader(strLine)) return true;
  return false;
}

// The file with its [ReadUserInfo] section replaced by the new lists.
std::string Rewrite(const std::vector<std::string>& vLines,
                    const std::string& strRW, const std::string& strRO) {
  std::string strBlock =
      BenchCrLf({"", "[ReadUserInfo]", "UserNameList=" + strRW,
                 "ReadOnlyUserList=" + strRO});
  std::string strOut;
  int nState = 0;  // before, inside, behind the section
  for (const std::string& strLine : vLines) {
    if (IsAuthHeader(strLine)) {
      if (nState == 0) strOut += strBlock;
      nState = 1;
    } else if (nState != 1 || strLine[0] == '[') {
      if (nState == 1) nState = 2;
      strOut += strLine + "\r\n";
    }
  }
  return strOut;
}

// Creates Folder.ini.new afresh; a leftover is removed only when found.
int CreateNew(const std::string& strNew) {
  const int nFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int nFd = open(strNew.c_str(), nFlags, 0644);
  if (nFd < 0 && errno == EEXIST && unlink(strNew.c_str()) == 0)
    nFd = open(strNew.c_str(), nFlags, 0644);
  return nFd;
}

bool SyncFolder(const std::string& strDir) {
  int nFd = open(strDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (nFd < 0) return false;
  bool bOk = fsync(nFd) == 0;
  return close(nFd) == 0 && bOk;
}

// The safe replace of a cabinet's Folder.ini.
bool Replace(const std::string& strDir, const std::string& strData) {
  std::string strNew = strDir + "/Folder.ini.new";
  int nFd = CreateNew(strNew);
  if (nFd < 0) return false;
  bool bOk = BenchWriteAll(nFd, strData) && fsync(nFd) == 0;
  bOk = close(nFd) == 0 && bOk;
  return bOk && rename(strNew.c_str(), (strDir + "/Folder.ini").c_str()) == 0 &&
         SyncFolder(strDir);
}

std::string Record(const char* pszCode, const char* pszAccess,
                   const std::string& strUser, const std::string& strPlace) {
  return std::string(pszCode) + ",OK," + pszAccess + "," + strUser + "," +
         strPlace + ",\r\n";
}

// The names of a comma-separated list, as views into it.
std::vector<std::string_view> Views(const std::string& strList) {
  std::vector<std::string_view> vOut;
  std::string_view sv = strList;
  for (size_t nStart = 0; nStart < sv.size();) {
    size_t nComma = std::min(sv.find(',', nStart), sv.size());
    if (nComma > nStart) vOut.push_back(sv.substr(nStart, nComma - nStart));
    nStart = nComma + 1;
  }
  return vOut;
}

// Reads User.ini once per run.
bool ReadUsers(Run& run) {
  if (run.bUsersRead) return true;
  std::string strData;
  if (!BenchReadFile(run.strData + "/User.ini", strData)) return false;
  run.strUserList = Value(Lines(strData), "userinfo", "userlist");
  run.vRegistered = Views(run.strUserList);
  run.setRegistered.insert(run.vRegistered.begin(), run.vRegistered.end());
  run.bUsersRead = true;
  return true;
}

// Drops empty items and duplicates (case counts), puts admin in front when
// no item is admin in any case; bAdminAdded tells whether it did.
std::vector<std::string> Tidy(const std::vector<std::string>& vIn,
                              bool& bAdminAdded) {
  std::vector<std::string> vOut;
  std::unordered_set<std::string> setSeen;
  bool bAdmin = false;
  for (const std::string& strItem : vIn) {
    if (Lower(strItem) == "admin") bAdmin = true;
    if (setSeen.insert(strItem).second) vOut.push_back(strItem);
  }
  bAdminAdded = !bAdmin;
  if (bAdminAdded) vOut.insert(vOut.begin(), "admin");
  return vOut;
}

struct Edit {
  std::string strRecords;
  bool bChanged = false;
};

// /set /rw: the user joins the list unless it is there in any case.
std::string SetList(const Run& run, const std::string& strList,
                    const char* pszAccess, const std::string& strPlace,
                    Edit& edit) {
  std::vector<std::string> vItems = BenchItems(strList);
  std::string strLowUser = Lower(run.strUser);
  bool bHas = false;
  for (const std::string& strItem : vItems)
    bHas = bHas || Lower(strItem) == strLowUser;
  if (!bHas) vItems.push_back(run.strUser);
  bool bAdminAdded = false;
  std::string strNew = BenchJoinList(Tidy(vItems, bAdminAdded));
  if (bAdminAdded)
    edit.strRecords += Record("ADD", pszAccess, "admin", strPlace);
  if (!bHas) edit.strRecords += Record("ADD", pszAccess, run.strUser, strPlace);
  edit.bChanged = edit.bChanged || strNew != strList;
  return strNew;
}

// /cleanup: every name User.ini does not register goes, but admin and, in
// the browse list, the general viewer.
std::string CleanList(const Run& run, const std::string& strList,
                      const char* pszAccess, const std::string& strPlace,
                      Edit& edit) {
  bool bAdminAdded = false;
  std::vector<std::string> vKept;
  for (const std::string& strItem : Tidy(BenchItems(strList), bAdminAdded)) {
    bool bKeep = Lower(strItem) == "admin" ||
                 run.setRegistered.count(strItem) ||
                 (pszAccess[0] == 'R' && strItem == kGeneralViewer);
    if (bKeep) vKept.push_back(strItem);
    if (!bKeep) edit.strRecords += Record("CLR", pszAccess, strItem, strPlace);
  }
  if (bAdminAdded)
    edit.strRecords += Record("ADD", pszAccess, "admin", strPlace);
  std::string strNew = BenchJoinList(vKept);
  edit.bChanged = edit.bChanged || strNew != strList;
  return strNew;
}

std::unordered_set<std::string> LowerSet(const std::vector<std::string>& v) {
  std::unordered_set<std::string> set;
  for (const std::string& str : v) set.insert(Lower(str));
  return set;
}

// The listing records of a cabinet with access lists.
std::string ListRecords(const std::string& strRW, const std::string& strRO,
                        const std::string& strPlace) {
  std::vector<std::string> vRW = BenchItems(strRW), vRO = BenchItems(strRO);
  std::unordered_set<std::string> setRW = LowerSet(vRW), setRO = LowerSet(vRO);
  std::string strOut;
  for (const std::string& strUser : vRW)
    strOut += Record("LST", setRO.count(Lower(strUser)) ? "RW" : "W", strUser,
                     strPlace);
  for (const std::string& strUser : vRO) {
    if (strUser == kGeneralViewer)
      strOut += Record("LST", "R", "!readuser", strPlace);
    else if (!setRW.count(Lower(strUser)))
      strOut += Record("LST", "R", strUser, strPlace);
  }
  return strOut;
}

// A cabinet without access lists: listed by /listall-authstatus only.
bool ListOpen(Run& run, const std::string& strPlace, std::string& strOut) {
  if (run.cmd != Command::kListAll) return true;
  if (!ReadUsers(run)) return false;
  for (std::string_view svUser : run.vRegistered)
    strOut += Record("LST", "RW", std::string(svUser), strPlace);
  strOut += Record("LST", "R", "!readuser", strPlace);
  ++run.nTargets;
  return true;
}

// The changing commands on a cabinet with access lists.
bool Change(Run& run, const std::vector<std::string>& vLines,
            const std::string& strDir, const std::string& strPlace,
            std::string& strOut) {
  std::string strRW = Value(vLines, "readuserinfo", "usernamelist");
  std::string strRO = Value(vLines, "readuserinfo", "readonlyuserlist");
  Edit edit;
  auto fnEdit = run.cmd == Command::kSet ? SetList : CleanList;
  std::string strNewRW = fnEdit(run, strRW, "W", strPlace, edit);
  std::string strNewRO = fnEdit(run, strRO, "R", strPlace, edit);
  if (!edit.bChanged) return true;
  ++run.nTargets;
  strOut = edit.strRecords;
  return Replace(strDir, Rewrite(vLines, strNewRW, strNewRO));
}

bool Cabinet(Run& run, const std::string& strLib, const std::string& strCab) {
  std::string strDir =
      run.strData + "/" + BenchUtf8(strLib) + "/" + BenchUtf8(strCab);
  std::string strData, strOut;
  if (!BenchReadFile(strDir + "/Folder.ini", strData)) return errno == ENOENT;
  std::vector<std::string> vLines = Lines(strData);
  std::string strPlace = strLib + "/" + strCab;
  bool bOk = true;
  if (!HasAuth(vLines)) {
    bOk = ListOpen(run, strPlace, strOut);
  } else if (run.cmd == Command::kSet || run.cmd == Command::kCleanup) {
    bOk = Change(run, vLines, strDir, strPlace, strOut);
  } else {
    strOut = ListRecords(Value(vLines, "readuserinfo", "usernamelist"),
                         Value(vLines, "readuserinfo", "readonlyuserlist"),
                         strPlace);
    ++run.nTargets;
  }
  return bOk && BenchWriteAll(run.nResultFd, strOut);
}

// The names of a folder's NameList; false when its Folder.ini cannot be read.
bool Children(const std::string& strDir, std::vector<std::string>& vNames) {
  std::string strData;
  if (!BenchReadFile(strDir + "/Folder.ini", strData)) return false;
  vNames = BenchItems(Value(Lines(strData), "folderinfo", "namelist"));
  return true;
}

bool Walk(Run& run) {
  std::vector<std::string> vLibs;
  if (!Children(run.strData, vLibs)) return false;
  for (const std::string& strLib : vLibs) {
    std::vector<std::string> vCabs;
    if (!Children(run.strData + "/" + BenchUtf8(strLib), vCabs)) return false;
    for (const std::string& strCab : vCabs)
      if (!Cabinet(run, strLib, strCab)) return false;
  }
  return true;
}

// Takes the tool's single-instance lock and holds it until the process
// ends: kExitDone, kExitLocked when another process holds it, else
// kExitFailed.
int Lock() {
  const char szPath[] = "/tmp/Tb2CabinetAuth.lock";
  int nFd = open(szPath, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (nFd < 0 && errno == ENOENT)
    nFd = open(szPath, O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (nFd < 0) return kExitFailed;
  if (flock(nFd, LOCK_EX | LOCK_NB) == 0) return kExitDone;
  return errno == EWOULDBLOCK ? kExitLocked : kExitFailed;
}

// The granted user in the spelling User.ini has, case-blind.
bool FindUser(Run& run) {
  if (!ReadUsers(run)) return false;
  std::string strLow = Lower(run.strUser);
  for (std::string_view svName : run.vRegistered)
    if (Lower(std::string(svName)) == strLow) {
      run.strUser = std::string(svName);
      return true;
    }
  return false;
}

bool ParseCommand(const std::string& strWord, Command& cmd) {
  const std::pair<const char*, Command> aWords[] = {
      {"set", Command::kSet},
      {"cleanup", Command::kCleanup},
      {"list", Command::kList},
      {"listall", Command::kListAll}};
  for (const auto& word : aWords) {
    if (strWord != word.first) continue;
    cmd = word.second;
    return true;
  }
  return false;
}

int Usage() {
  std::fprintf(stderr,
               "usage: rav_floor set <data folder> <user> | "
               "cleanup|list|listall <data folder>\n");
  return kExitFailed;
}

bool Prepare(Run& run) {
  run.nResultFd = open(
      "result.txt", O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
  if (run.nResultFd < 0 || !BenchWriteAll(run.nResultFd, "floor\r\n"))
    return false;
  if (run.cmd == Command::kSet) return FindUser(run);
  return run.cmd != Command::kCleanup || ReadUsers(run);
}

}  // namespace

int main(int argc, char** argv) {
  Run run;
  if (argc < 3 || !ParseCommand(argv[1], run.cmd)) return Usage();
  if ((run.cmd == Command::kSet) != (argc == 4)) return Usage();
  run.strData = argv[2];
  if (argc == 4) run.strUser = BenchCp932(argv[3]);
  int nLock = Lock();
  if (nLock != kExitDone) return nLock;
  bool bOk = Prepare(run) && Walk(run) &&
             BenchWriteAll(run.nResultFd,
                           "targets," + std::to_string(run.nTargets) + "\r\n");
  bOk = close(run.nResultFd) == 0 && bOk;
  std::printf("%s\n", bOk ? "done" : "failed");
  return bOk ? kExitDone : kExitFailed;
}
