// The tool on file systems that refuse it (Linux, as root): a full tmpfs
// under the data folder or the current folder, immutable and append-only
// files and folders, and files that carry ACLs and extended attributes.
// Whatever the system refuses, every Folder.ini must end with exactly its
// old or its new bytes, and the records, counters and exit code must say
// which.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <regex>
#include <sstream>

#include "commonproc.h"
#include "testfs.h"
#include "testrun.h"
#include "teststore.h"
#include "testutil.h"

namespace {

constexpr size_t kPage = 4096;

// A tmpfs of nKiB KiB mounted on a new folder, unmounted at the end.
struct Tmpfs {
  Tmpfs(const std::string& strPath, int nKiB) : strPath(strPath) {
    std::string strOptions = "size=" + std::to_string(nKiB) + "k";
    bMounted = TestMakeDirs(strPath) && mount("tmpfs", strPath.c_str(), "tmpfs",
                                              0, strOptions.c_str()) == 0;
  }
  ~Tmpfs() {
    if (bMounted) umount2(strPath.c_str(), MNT_DETACH);
  }
  std::string strPath;
  bool bMounted = false;
};

// Fills the file system of strFolder up, then frees nPages pages of it.
bool FillLeaving(const std::string& strFolder, size_t nPages) {
  std::string strFiller = JoinPath(strFolder, "filler");
  int nFd = open(strFiller.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (nFd < 0) return false;
  std::string strBlock(kPage, 'f');
  off_t nSize = 0;
  for (ssize_t n; (n = write(nFd, strBlock.data(), kPage)) > 0;) nSize += n;
  bool bFull = errno == ENOSPC;
  off_t nFree = static_cast<off_t>(nPages * kPage);
  bool bCut = ftruncate(nFd, nSize > nFree ? nSize - nFree : 0) == 0;
  return close(nFd) == 0 && bFull && bCut;
}

std::string CabinetFolder(const std::string& strData, int nCab) {
  return JoinPath(JoinPath(strData, TestLibName(1)), TestCabName(nCab));
}

std::string IniOf(const std::string& strData, int nCab) {
  return JoinPath(CabinetFolder(strData, nCab), "Folder.ini");
}

// The result file's text: the one result file in strCwd, "" when none.
std::string ResultText(const std::string& strCwd) {
  static const std::regex kName("result[0-9]{14}\\.txt");
  for (const auto& entry : TestSnapshot(strCwd))
    if (std::regex_match(entry.first, kName)) return entry.second.strData;
  return "";
}

// How the result file reports each cabinet of Lib1: "OK" for a cabinet with
// OK records only, "NG" for one NG record only, "" for none, "mixed" else.
std::map<int, std::string> Outcomes(const std::string& strResult, int nCabs) {
  std::map<int, std::string> mOut;
  std::istringstream in(strResult);
  for (std::string strLine; std::getline(in, strLine);) {
    for (int nCab = 1; nCab <= nCabs; ++nCab) {
      std::string strPlace = ",Lib1/" + TestCabName(nCab) + ",";
      if (strLine.find(strPlace) == std::string::npos) continue;
      std::string strWord =
          strLine.find(",NG,") != std::string::npos ? "NG" : "OK";
      std::string& strSeen = mOut[nCab];
      strSeen = strSeen.empty() || strSeen == strWord ? strWord : "mixed";
    }
  }
  return mOut;
}

// Which form each cabinet's Folder.ini has: 'o' old, 'n' new, 't' neither.
char FormOf(const std::string& strData, int nCab, size_t nPad) {
  std::string strIni = TestReadFile(IniOf(strData, nCab));
  if (strIni == TestCabinetIni(TestCabName(nCab), false, nPad)) return 'o';
  return strIni == TestCabinetIni(TestCabName(nCab), true, nPad) ? 'n' : 't';
}

struct ToolRun {
  int nExit = 0;
  std::string strConsole, strResult;
};

ToolRun RunSet(const std::string& strCwd, const std::string& strPlace) {
  ToolRun run;
  run.nExit =
      TestRunTool({"/set", "/rw", "jiro", strPlace}, strCwd, run.strConsole);
  run.strResult = ResultText(strCwd);
  return run;
}

// Every cabinet whole, and reported as what happened to it: new bytes with
// OK records, old bytes with one NG record. Returns the number of each.
void ExpectConsistent(const std::string& strData, int nCabs, size_t nPad,
                      const ToolRun& run, int& nNew, int& nOld) {
  std::map<int, std::string> mOutcome = Outcomes(run.strResult, nCabs);
  nNew = nOld = 0;
  for (int nCab = 1; nCab <= nCabs; ++nCab) {
    char chForm = FormOf(strData, nCab, nPad);
    EXPECT_NE(chForm, 't') << TestCabName(nCab) << " is torn";
    EXPECT_EQ(mOutcome[nCab], chForm == 'n' ? "OK" : "NG") << TestCabName(nCab);
    (chForm == 'n' ? nNew : nOld) += 1;
  }
  std::string strCounts = "設定対象キャビネット数," + std::to_string(nCabs) +
                          "\r\n設定成功キャビネット数," + std::to_string(nNew) +
                          "\r\nエラーキャビネット数," + std::to_string(nOld) +
                          "\r\n";
  EXPECT_NE(run.strResult.find(strCounts), std::string::npos) << strCounts;
  EXPECT_EQ(run.nExit, nOld > 0 ? 0 : 1);
}

class DiskTest : public testing::Test {
 protected:
  ScratchDir dir;
  std::string Data() const { return dir.Path("mnt/data"); }
};

// A data folder whose file system fills during the walk: each new Folder.ini
// takes one page more than the old one, so the first few cabinets are
// written and the rest cannot be.
TEST_F(DiskTest, FullDataFolder) {
  Tmpfs fs(dir.Path("mnt"), 256);
  if (!fs.bMounted) GTEST_SKIP() << "cannot mount a tmpfs (needs root)";
  constexpr int kCabs = 30;
  constexpr size_t kPad = kPage - 115;  // old form 4092 bytes, new 4102
  ASSERT_TRUE(TestMakeStore(dir.Path(), Data(), 1, kCabs, kPad));
  ASSERT_TRUE(TestMakeDirs(dir.Path("cwd")));
  ASSERT_TRUE(FillLeaving(fs.strPath, 3));
  ToolRun run = RunSet(dir.Path("cwd"), "Lib1");
  int nNew = 0, nOld = 0;
  ExpectConsistent(Data(), kCabs, kPad, run, nNew, nOld);
  EXPECT_GT(nNew, 0);
  EXPECT_GT(nOld, 0);
}

// Checks a walk that stopped when the result file could not be written:
// a cabinet with an OK record is written, one with an NG record (its
// backup entry could not be written in the same full folder) is untouched,
// and of those without a record only the cabinet in hand may be written
// (never when bAtStart, when no record at all may be there).
void ExpectStoppedWalk(const std::string& strData, int nCabs,
                       const std::string& strResult, bool bAtStart) {
  std::map<int, std::string> mOutcome = Outcomes(strResult, nCabs);
  int nUnrecordedNew = 0;
  for (int nCab = 1; nCab <= nCabs; ++nCab) {
    char chForm = FormOf(strData, nCab, 0);
    const std::string& strOutcome = mOutcome[nCab];
    EXPECT_NE(chForm, 't') << TestCabName(nCab) << " is torn";
    if (bAtStart) {
      EXPECT_EQ(strOutcome, "") << TestCabName(nCab);
    }
    if (strOutcome == "OK" || strOutcome == "NG") {
      EXPECT_EQ(chForm, strOutcome == "OK" ? 'n' : 'o') << TestCabName(nCab);
    }
    if (strOutcome.empty() && chForm == 'n') ++nUnrecordedNew;
  }
  EXPECT_LE(nUnrecordedNew, bAtStart ? 0 : 1);
}

// The current folder's file system is full from the start (no page left)
// or fills during the walk (one page): the run stops with the result file's
// message, no cabinet after the failure is touched, and only the cabinet in
// hand may be written without its records.
TEST_F(DiskTest, FullResultFolder) {
  constexpr int kCabs = 200;
  ASSERT_TRUE(TestMakeStore(dir.Path(), dir.Path("data"), 1, kCabs, 0));
  for (size_t nPages : {0, 1}) {
    SCOPED_TRACE("pages left: " + std::to_string(nPages));
    std::string strCwd = dir.Path("cwd" + std::to_string(nPages));
    Tmpfs fs(strCwd, 64);
    if (!fs.bMounted) GTEST_SKIP() << "cannot mount a tmpfs (needs root)";
    ASSERT_TRUE(FillLeaving(strCwd, nPages));
    ToolRun run = RunSet(strCwd, "Lib1");
    EXPECT_EQ(run.strConsole,
              nPages == 0
                  ? "エラー：実行結果ファイルを作成できません。\n"
                  : "エラー：実行結果ファイルへの書き込みに失敗しました。\n");
    EXPECT_EQ(run.nExit, nPages == 0 ? 255 : 0);
    ExpectStoppedWalk(dir.Path("data"), kCabs, run.strResult, nPages == 0);
    ASSERT_TRUE(TestMakeStore(dir.Path(), dir.Path("data"), 1, kCabs, 0));
  }
}

// Sets or clears an inode flag (FS_IMMUTABLE_FL, FS_APPEND_FL) of a file or
// folder; false where the file system has no such flags.
bool SetInodeFlag(const std::string& strPath, int nFlag, bool bOn) {
  int nFd = open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (nFd < 0) return false;
  int nFlags = 0;
  bool bOk = ioctl(nFd, FS_IOC_GETFLAGS, &nFlags) == 0;
  nFlags = bOn ? nFlags | nFlag : nFlags & ~nFlag;
  bOk = bOk && ioctl(nFd, FS_IOC_SETFLAGS, &nFlags) == 0;
  return close(nFd) == 0 && bOk;
}

// One cabinet of three made immutable or append-only, the file or its
// folder: it fails or is written whole, the records say which, and the
// others are written.
TEST_F(DiskTest, ImmutableAndAppendOnly) {
  struct Row {
    const char* pszWhat;
    int nFlag;
    bool bFolder;
  };
  const Row kRows[] = {{"immutable Folder.ini", FS_IMMUTABLE_FL, false},
                       {"append-only Folder.ini", FS_APPEND_FL, false},
                       {"immutable cabinet folder", FS_IMMUTABLE_FL, true},
                       {"append-only cabinet folder", FS_APPEND_FL, true}};
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.pszWhat);
    ScratchDir dirRow;
    std::string strData = dirRow.Path("data");
    ASSERT_TRUE(TestMakeStore(dirRow.Path(), strData, 1, 3, 0));
    std::string strTarget =
        row.bFolder ? CabinetFolder(strData, 2) : IniOf(strData, 2);
    if (!SetInodeFlag(strTarget, row.nFlag, true))
      GTEST_SKIP() << "no inode flags on the scratch folder's file system";
    ASSERT_TRUE(TestMakeDirs(dirRow.Path("cwd")));
    ToolRun run = RunSet(dirRow.Path("cwd"), "Lib1");
    EXPECT_TRUE(SetInodeFlag(strTarget, row.nFlag, false));
    int nNew = 0, nOld = 0;
    ExpectConsistent(strData, 3, 0, run, nNew, nOld);
    EXPECT_EQ(FormOf(strData, 1, 0), 'n');
    EXPECT_EQ(FormOf(strData, 3, 0), 'n');
  }
}

// Runs a command and gives its standard output; false when it cannot be
// run or fails.
bool Capture(const std::string& strCommand, std::string& strOut) {
  FILE* pPipe = popen((strCommand + " 2>/dev/null").c_str(), "r");
  if (pPipe == nullptr) return false;
  strOut.clear();
  char szBuf[4096];
  for (size_t n; (n = std::fread(szBuf, 1, sizeof szBuf, pPipe)) > 0;)
    strOut.append(szBuf, n);
  return pclose(pPipe) == 0;
}

std::string Describe(const std::string& strPath) {
  std::string strAcl, strAttrs;
  if (!Capture("getfacl -p '" + strPath + "'", strAcl) ||
      !Capture("getfattr -h -d -m - '" + strPath + "'", strAttrs))
    return "";
  return strAcl + strAttrs;
}

// A Folder.ini with an ACL entry and an extended attribute in a folder
// whose default ACL differs: the rewritten file keeps its own ACL and
// attribute, not the folder's default.
TEST_F(DiskTest, AclAndXattrKept) {
  ASSERT_TRUE(TestMakeStore(dir.Path(), dir.Path("data"), 1, 1, 0));
  std::string strIni = IniOf(dir.Path("data"), 1);
  std::string strFolder = CabinetFolder(dir.Path("data"), 1);
  std::string strUnused;
  if (!Capture("setfacl -m u:nobody:r '" + strIni + "'", strUnused) ||
      !Capture("setfacl -d -m u:nobody:rw '" + strFolder + "'", strUnused) ||
      !Capture("setfattr -n user.x -v y '" + strIni + "'", strUnused))
    GTEST_SKIP() << "no setfacl/setfattr, or no ACLs and user attributes on "
                    "the scratch folder's file system";
  std::string strBefore = Describe(strIni);
  std::string strFolderBefore = Describe(strFolder);
  ASSERT_NE(strBefore, "");
  ASSERT_TRUE(TestMakeDirs(dir.Path("cwd")));
  ToolRun run = RunSet(dir.Path("cwd"), "Lib1/Cab0001");
  EXPECT_EQ(run.nExit, 1) << run.strConsole;
  EXPECT_EQ(FormOf(dir.Path("data"), 1, 0), 'n');
  EXPECT_EQ(Describe(strIni), strBefore);
  EXPECT_EQ(Describe(strFolder), strFolderBefore);
}

}  // namespace
