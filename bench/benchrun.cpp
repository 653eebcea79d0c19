#include "benchrun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "benchfs.h"

extern char** environ;

namespace {

// The inherited environment without the settings that would change the
// child's charset or where it finds the installation.
std::vector<std::string> ChildEnvironment(
    const std::vector<std::string>& vEnv) {
  std::vector<std::string> vOut;
  for (char** pp = environ; *pp != nullptr; ++pp) {
    std::string strEntry = *pp;
    if (strEntry.rfind("LC_", 0) == 0 || strEntry.rfind("LANG", 0) == 0 ||
        strEntry.rfind("RAVERAZARIDUVIVI_", 0) == 0)
      continue;
    vOut.push_back(strEntry);
  }
  vOut.push_back("LC_ALL=C.UTF-8");
  vOut.insert(vOut.end(), vEnv.begin(), vEnv.end());
  return vOut;
}

std::vector<char*> Pointers(std::vector<std::string>& vStrings) {
  std::vector<char*> vOut;
  for (std::string& str : vStrings) vOut.push_back(&str[0]);
  vOut.push_back(nullptr);
  return vOut;
}

// SIGCHLD stays blocked in this process, so that the wait can sleep on it
// with a timeout; the child starts with no signal blocked.
sigset_t ChildSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGCHLD);
  return set;
}

int SetChildAttributes(posix_spawnattr_t& attr) {
  sigset_t setNone;
  sigemptyset(&setNone);
  int nErr = posix_spawnattr_setsigmask(&attr, &setNone);
  return nErr == 0 ? posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK)
                   : nErr;
}

int SetChildFiles(posix_spawn_file_actions_t& actions,
                  const std::string& strCwd, const std::string& strOutFile) {
  int nErr = posix_spawn_file_actions_addchdir_np(&actions, strCwd.c_str());
  if (nErr == 0)
    nErr = posix_spawn_file_actions_addopen(&actions, 1, strOutFile.c_str(),
                                            O_WRONLY | O_CREAT | O_TRUNC, 0644);
  return nErr == 0 ? posix_spawn_file_actions_adddup2(&actions, 1, 2) : nErr;
}

// Starts the child with its folder and output set; 0 on success, else an
// errno value.
int Start(const std::string& strProgram, std::vector<std::string> vArgv,
          std::vector<std::string> vEnv, const std::string& strCwd,
          const std::string& strOutFile, pid_t& nPid) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (posix_spawn_file_actions_init(&actions) != 0) return ENOMEM;
  int nErr = posix_spawnattr_init(&attr);
  if (nErr == 0) nErr = SetChildAttributes(attr);
  if (nErr == 0) nErr = SetChildFiles(actions, strCwd, strOutFile);
  std::vector<char*> vArgvPtr = Pointers(vArgv);
  std::vector<char*> vEnvPtr = Pointers(vEnv);
  if (nErr == 0)
    nErr = posix_spawn(&nPid, strProgram.c_str(), &actions, &attr,
                       vArgvPtr.data(), vEnvPtr.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return nErr;
}

timespec Span(double dSeconds) {
  timespec ts;
  ts.tv_sec = static_cast<time_t>(dSeconds);
  ts.tv_nsec =
      static_cast<long>((dSeconds - static_cast<double>(ts.tv_sec)) * 1e9);
  return ts;
}

// Waits for the launcher, sleeping until SIGCHLD; kills it, and with it the
// program it runs, once the deadline has passed.
bool Wait(pid_t nPid, double dDeadline, int& nStatus) {
  sigset_t set = ChildSignal();
  for (;;) {
    pid_t nDone = waitpid(nPid, &nStatus, WNOHANG);
    if (nDone == nPid) return true;
    if (nDone < 0 && errno != EINTR) return false;
    double dLeft = dDeadline - BenchNow();
    if (dLeft <= 0) {
      kill(nPid, SIGKILL);
      dLeft = 1;
    }
    timespec ts = Span(dLeft);
    static_cast<void>(sigtimedwait(&set, nullptr, &ts));
  }
}

}  // namespace

double BenchNow() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) +
         static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool BenchSpawn(const std::string& strProgram,
                const std::vector<std::string>& vArgs,
                const std::string& strCwd, const std::vector<std::string>& vEnv,
                const std::string& strOutFile, int nTimeoutSeconds,
                BenchRun& run) {
  std::string strLauncher = BenchSelfDir() + "/rav_launch";
  std::string strReport = strOutFile + ".cost";
  std::vector<std::string> vArgv = {strLauncher, strReport, strProgram};
  vArgv.insert(vArgv.end(), vArgs.begin(), vArgs.end());
  sigset_t set = ChildSignal();
  if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  pid_t nPid = 0;
  if (!BenchRemoveTree(strReport) ||
      Start(strLauncher, vArgv, ChildEnvironment(vEnv), strCwd, strOutFile,
            nPid) != 0)
    return false;
  int nStatus = 0;
  if (!Wait(nPid, BenchNow() + nTimeoutSeconds, nStatus)) return false;
  std::string strCost;
  run.strOutput.clear();
  return BenchReadFile(strReport, strCost) &&
         std::sscanf(strCost.c_str(), "%d %lf %lf %ld", &run.nExit, &run.dWall,
                     &run.dCpu, &run.nMaxRssKb) == 4 &&
         BenchReadFile(strOutFile, run.strOutput);
}
