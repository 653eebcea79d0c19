// Crash test (Linux): runs "/set /rw jiro" and "/set /none jiro" in turn on
// a generated store and kills the tool with SIGKILL at a random instant of
// its run, again and again. After each kill every cabinet's Folder.ini must
// be whole (exactly its old or its new bytes), none may be missing, every
// cabinet that changed must have its records in that run's result file (one
// cabinet may lack them: the kill can fall between its replace and its
// record), no record may claim a change that did not happen, and no cabinet
// may fail (a Folder.ini.new left by an earlier kill is no reason to).
//
// After every second kill, "/undo" of the killed run (from its backup file)
// must put every cabinet back to what it was before that run, with no
// cabinet failing.
//
// Usage: crashtest [KILLS [SEED]]; RAV_TOOL names the tool. Prints the
// figures and exits 1 when a promise was broken. The store lives in
// /dev/shm where there is one: a killed process leaves the page cache as
// the disk would get it, and the runs are not slowed by the flushes.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "commonproc.h"
#include "testfs.h"
#include "testrun.h"
#include "teststore.h"
#include "testutil.h"

namespace {

constexpr int kLibs = 3;
constexpr int kCabs = 1000;

using Clock = std::chrono::steady_clock;

struct Figures {
  int nKills = 0, nFinished = 0, nRefused = 0, nTorn = 0, nMissing = 0;
  int nRecordless = 0;
  int nMostRecordless = 0, nFalseRecords = 0, nFailed = 0, nLeftovers = 0;
  int nUndoRuns = 0, nUndoFailed = 0, nUndoLeft = 0;
};

// The state of every cabinet: true when its Folder.ini lists jiro.
using States = std::vector<bool>;

std::string CabinetPath(const std::string& strData, int nLib, int nCab) {
  return JoinPath(JoinPath(strData, TestLibName(nLib)), TestCabName(nCab));
}

int Index(int nLib, int nCab) { return (nLib - 1) * kCabs + (nCab - 1); }

// Waits until no other process holds the tool's single-instance lock, so
// that a run is not refused because some other test runs the tool.
void WaitForLock() {
  int nFd = open("/tmp/Tb2CabinetAuth.lock", O_RDONLY | O_CLOEXEC);
  if (nFd < 0) return;
  if (flock(nFd, LOCK_EX) == 0) flock(nFd, LOCK_UN);
  close(nFd);
}

// Starts the tool with the arguments in strCwd, its output thrown away;
// the pid, or -1.
pid_t StartTool(const std::string& strCwd, std::vector<std::string> vArgs) {
  WaitForLock();
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid != 0) return pid;
  std::string strTool = TestToolPath();
  std::vector<char*> vArgv{&strTool[0]};
  for (std::string& strArg : vArgs) vArgv.push_back(&strArg[0]);
  vArgv.push_back(nullptr);
  if (chdir(strCwd.c_str()) != 0 || !freopen("/dev/null", "w", stdout) ||
      setenv("LC_ALL", "C.UTF-8", 1) != 0)
    _exit(127);
  execv(strTool.c_str(), vArgv.data());
  _exit(127);
}

pid_t StartSet(const std::string& strCwd, bool bJiro) {
  return StartTool(strCwd, {"/set", bJiro ? "/rw" : "/none", "jiro"});
}

// Waits for the child; its exit code, or -1 when a signal ended it.
int WaitTool(pid_t pid) {
  int nStatus = 0;
  while (waitpid(pid, &nStatus, 0) != pid)
    if (errno != EINTR) return -1;
  return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

// Runs the tool to its end; the seconds it took, or -1 when it failed.
double FullRun(const std::string& strCwd, bool bJiro) {
  Clock::time_point tStart = Clock::now();
  pid_t pid = StartSet(strCwd, bJiro);
  if (pid < 0 || WaitTool(pid) != 1) return -1;
  return std::chrono::duration<double>(Clock::now() - tStart).count();
}

// The cabinets named by the OK and NG records of the result files in strCwd.
void ReadRecords(const std::string& strCwd, std::set<std::string>& setOk,
                 int& nFailed) {
  for (const auto& entry : TestSnapshot(strCwd)) {
    if (entry.first.rfind("result", 0) != 0) continue;
    std::istringstream in(entry.second.strData);
    std::string strLine;
    while (std::getline(in, strLine)) {
      std::vector<std::string> vFields;
      std::istringstream fields(strLine);
      for (std::string strField; std::getline(fields, strField, ',');)
        vFields.push_back(strField);
      if (vFields.size() < 5) continue;
      if (vFields[1] == "OK") setOk.insert(vFields[4]);
      if (vFields[1] == "NG") ++nFailed;
    }
  }
}

// Checks one cabinet after a kill and updates its state.
void CheckCabinet(const std::string& strData, int nLib, int nCab,
                  const std::set<std::string>& setOk, States& states,
                  Figures& fig, int& nRecordless) {
  std::string strCab = TestCabName(nCab);
  std::string strPath = CabinetPath(strData, nLib, nCab);
  TestEntry ini = TestReadEntry(JoinPath(strPath, "Folder.ini"));
  bool bRecord = setOk.count(TestLibName(nLib) + "/" + strCab) != 0;
  if (ini.chKind != 'f') {
    ++fig.nMissing;
    std::printf("missing: %s\n", strPath.c_str());
    return;
  }
  bool bJiro = ini.strData == TestCabinetIni(strCab, true, 0);
  if (!bJiro && ini.strData != TestCabinetIni(strCab, false, 0)) {
    ++fig.nTorn;
    std::printf("torn: %s\n", strPath.c_str());
    return;
  }
  bool bChanged = bJiro != states[Index(nLib, nCab)];
  states[Index(nLib, nCab)] = bJiro;
  if (bChanged && !bRecord) ++nRecordless;
  if (!bChanged && bRecord) ++fig.nFalseRecords;
}

void CheckStore(const std::string& strData, const std::string& strCwd,
                States& states, Figures& fig) {
  std::set<std::string> setOk;
  ReadRecords(strCwd, setOk, fig.nFailed);
  int nRecordless = 0;
  for (int nLib = 1; nLib <= kLibs; ++nLib)
    for (int nCab = 1; nCab <= kCabs; ++nCab)
      CheckCabinet(strData, nLib, nCab, setOk, states, fig, nRecordless);
  fig.nRecordless += nRecordless;
  if (nRecordless > fig.nMostRecordless) fig.nMostRecordless = nRecordless;
}

int CountLeftovers(const std::string& strData) {
  int nCount = 0;
  for (int nLib = 1; nLib <= kLibs; ++nLib)
    for (int nCab = 1; nCab <= kCabs; ++nCab)
      if (TestReadEntry(
              JoinPath(CabinetPath(strData, nLib, nCab), "Folder.ini.new"))
              .chKind != '-')
        ++nCount;
  return nCount;
}

// The timestamp of the backup file in strCwd; "" when the run left none.
std::string BackupStamp(const std::string& strCwd) {
  std::string strStamp;
  for (const auto& entry : TestSnapshot(strCwd))
    if (entry.first.rfind("backup", 0) == 0 && entry.first.size() == 24)
      strStamp = entry.first.substr(6, 14);
  return strStamp;
}

// Undoes the killed run in strCwd and checks that every cabinet is as it
// was before that run (before); states become those again.
void UndoRun(const ScratchDir& dir, const std::string& strCwd,
             const States& before, States& states, Figures& fig) {
  std::string strStamp = BackupStamp(strCwd);
  if (strStamp.empty()) {
    fig.nUndoLeft += before != states;
    return;
  }
  ++fig.nUndoRuns;
  pid_t pid = StartTool(strCwd, {"/undo", strStamp});
  if (pid < 0 || WaitTool(pid) != 1) ++fig.nUndoFailed;
  std::string strData = dir.Path("data");
  for (int nLib = 1; nLib <= kLibs; ++nLib)
    for (int nCab = 1; nCab <= kCabs; ++nCab) {
      std::string strCab = TestCabName(nCab);
      TestEntry ini = TestReadEntry(
          JoinPath(CabinetPath(strData, nLib, nCab), "Folder.ini"));
      bool bWas = before[Index(nLib, nCab)];
      if (ini.chKind != 'f' || ini.strData != TestCabinetIni(strCab, bWas, 0))
        ++fig.nUndoLeft;
    }
  states = before;
}

// One run killed after a random delay; its result file goes to a folder of
// its own.
void KillOnce(const ScratchDir& dir, int nRun, double dMaxSeconds,
              std::mt19937& rng, States& states, Figures& fig) {
  std::string strCwd = dir.Path("run" + std::to_string(nRun));
  if (!TestMakeDirs(strCwd)) std::exit(2);
  std::uniform_real_distribution<double> delay(0.0, dMaxSeconds);
  auto dWait = std::chrono::duration<double>(delay(rng));
  States before = states;
  pid_t pid = StartSet(strCwd, nRun % 2 == 0);
  if (pid < 0) std::exit(2);
  std::this_thread::sleep_for(dWait);
  kill(pid, SIGKILL);
  int nExit = WaitTool(pid);
  if (nExit == 1) ++fig.nFinished;
  if (nExit == 255) ++fig.nRefused;
  if (nExit < 0) ++fig.nKills;
  CheckStore(dir.Path("data"), strCwd, states, fig);
  // Every second run is undone, so that the next one has changes to make.
  if (nRun % 2 == 1) UndoRun(dir, strCwd, before, states, fig);
}

bool Broken(const Figures& fig) {
  return fig.nTorn > 0 || fig.nMissing > 0 || fig.nMostRecordless > 1 ||
         fig.nFalseRecords > 0 || fig.nFailed > 0 || fig.nRefused > 0 ||
         fig.nKills == 0 || fig.nUndoFailed > 0 || fig.nUndoLeft > 0;
}

void Print(const Figures& fig) {
  std::printf(
      "kills %d (runs finished before their kill %d, refused %d), torn %d, "
      "missing %d, record-less %d (at most %d in one run), false records %d, "
      "failed cabinets %d, Folder.ini.new left %d; undo runs %d (failed "
      "%d), cabinets left changed after the undo %d\n",
      fig.nKills, fig.nFinished, fig.nRefused, fig.nTorn, fig.nMissing,
      fig.nRecordless, fig.nMostRecordless, fig.nFalseRecords, fig.nFailed,
      fig.nLeftovers, fig.nUndoRuns, fig.nUndoFailed, fig.nUndoLeft);
}

// Builds the store and measures a full run of each command; the longer.
double Prepare(const ScratchDir& dir) {
  if (!TestMakeStore(dir.Path(), dir.Path("data"), kLibs, kCabs, 0) ||
      !TestMakeDirs(dir.Path("full1")) || !TestMakeDirs(dir.Path("full2")))
    return -1;
  double dSet = FullRun(dir.Path("full1"), true);
  double dUnset = FullRun(dir.Path("full2"), false);
  return dSet < 0 || dUnset < 0 ? -1 : std::max(dSet, dUnset);
}

}  // namespace

int main(int argc, char** argv) {
  int nKills = argc > 1 ? std::atoi(argv[1]) : 20;
  unsigned nSeed = argc > 2 ? static_cast<unsigned>(std::atol(argv[2]))
                            : std::random_device()();
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  ScratchDir dir;
  double dRun = Prepare(dir);
  if (dRun < 0) {
    std::printf("cannot build the store or run the tool (RAV_TOOL=%s)\n",
                TestToolPath().c_str());
    return 2;
  }
  std::printf("%d cabinets, a full run takes %.2f s, seed %u\n", kLibs * kCabs,
              dRun, nSeed);
  std::mt19937 rng(nSeed);
  States states(kLibs * kCabs, false);
  Figures fig;
  // A run that ends before its kill still has its store checked; the runs
  // go on until nKills were killed, or three times that many were started.
  for (int nRun = 0; fig.nKills < nKills && nRun < 3 * nKills; ++nRun)
    KillOnce(dir, nRun, dRun, rng, states, fig);
  fig.nLeftovers = CountLeftovers(dir.Path("data"));
  Print(fig);
  return Broken(fig) ? 1 : 0;
}
