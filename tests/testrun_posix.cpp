// Runs the tool as a child process on POSIX systems.
#include <grp.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "testfs.h"
#include "testrun.h"
#include "testutil.h"

namespace {

std::string ReadAll(int fd) {
  std::string strOut;
  char szBuf[4096];
  for (;;) {
    ssize_t n = read(fd, szBuf, sizeof szBuf);
    if (n > 0) {
      strOut.append(szBuf, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return strOut;
    }
  }
}

// Applies the options that act on the process itself. The timeout is an
// alarm, which survives exec and kills the tool with SIGALRM.
bool ApplyLimits(const TestRunOptions& options) {
  if (options.nFileSizeLimit >= 0) {
    rlim_t nLimit = static_cast<rlim_t>(options.nFileSizeLimit);
    struct rlimit rl = {nLimit, nLimit};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) return false;
  }
  alarm(options.nTimeoutSeconds);
  return true;
}

// The ids of the administrator account that is no root, looked up before
// the fork so that the child makes system calls only.
struct AdminIds {
  uid_t nUid = 0;
  gid_t nGid = 0;
  gid_t nSudo = 0;
};

bool FindAdmin(AdminIds& ids) {
  const struct group* pSudo = getgrnam("sudo");
  unsigned nUid = 0, nGid = 0;
  if (pSudo == nullptr || !TestAdminAccount(nUid, nGid)) return false;
  ids = {nUid, nGid, pSudo->gr_gid};
  return true;
}

// The child of root takes the ids with setgroups and setresuid rather than
// from an account added to the system: no change to the machine's user
// database, no useradd needed, nothing for test processes that run at once
// to race for. The tool never looks its user up by name.
bool BecomeAdmin(const AdminIds& ids) {
  return setgroups(1, &ids.nSudo) == 0 &&
         setresgid(ids.nGid, ids.nGid, ids.nGid) == 0 &&
         setresuid(ids.nUid, ids.nUid, ids.nUid) == 0;
}

// Runs in the child between fork and exec; vEnv holds the options'
// environment entries, already converted.
[[noreturn]] void ExecChild(int fdOut, const std::string& strCwd,
                            std::vector<std::string>& vArgv,
                            std::vector<std::string>& vEnv,
                            const TestRunOptions& options,
                            const AdminIds& admin) {
  if (dup2(fdOut, STDOUT_FILENO) < 0 || chdir(strCwd.c_str()) != 0) _exit(127);
  if (setenv("LC_ALL", "C.UTF-8", 1) != 0) _exit(127);
  for (std::string& strEntry : vEnv)
    if (putenv(strEntry.data()) != 0) _exit(127);
  if (!ApplyLimits(options)) _exit(127);
  if (options.bAsAdmin && !BecomeAdmin(admin)) _exit(127);
  std::vector<char*> vPtrs;
  for (std::string& strArg : vArgv) vPtrs.push_back(strArg.data());
  vPtrs.push_back(nullptr);
  execv(vPtrs[0], vPtrs.data());
  _exit(127);
}

// The child's arguments in UTF-8, as a shell in a UTF-8 locale passes them.
std::vector<std::string> ChildArgv(const std::vector<std::string>& vArgs) {
  std::vector<std::string> vArgv{TestToolPath()};
  for (const std::string& strArg : vArgs) vArgv.push_back(TestToNative(strArg));
  return vArgv;
}

int ExitResult(int nStatus) {
  if (WIFEXITED(nStatus)) return WEXITSTATUS(nStatus);
  if (!WIFSIGNALED(nStatus)) return kTestRunFailed;
  return WTERMSIG(nStatus) == SIGALRM ? kTestRunTimedOut
                                      : kTestRunSignal - WTERMSIG(nStatus);
}

// Starts the tool in strCwd on the pseudo-terminal's other side; the pid,
// or -1 (fdMaster gets the terminal's side that the test reads).
pid_t ForkOnTerminal(std::vector<std::string> vArgv, const std::string& strCwd,
                     int& fdMaster) {
  std::vector<char*> vPtrs;
  for (std::string& strArg : vArgv) vPtrs.push_back(&strArg[0]);
  vPtrs.push_back(nullptr);
  struct termios tio = {};
  cfmakeraw(&tio);
  pid_t pid = forkpty(&fdMaster, nullptr, &tio, nullptr);
  if (pid != 0) return pid;
  if (chdir(strCwd.c_str()) != 0 || setenv("LC_ALL", "C.UTF-8", 1) != 0)
    _exit(127);
  alarm(60);
  execv(vPtrs[0], vPtrs.data());
  _exit(127);
}

}  // namespace

std::string TestToolPath() {
  const char* pszTool = std::getenv("RAV_TOOL");
  return pszTool == nullptr ? "" : pszTool;
}

int TestRunTool(const std::vector<std::string>& vArgs,
                const std::string& strCwd, std::string& strOutput) {
  return TestRunTool(vArgs, strCwd, strOutput, TestRunOptions());
}

int TestRunTool(const std::vector<std::string>& vArgs,
                const std::string& strCwd, std::string& strOutput,
                const TestRunOptions& options) {
  std::vector<std::string> vArgv = ChildArgv(vArgs);
  std::vector<std::string> vEnv;
  for (const std::string& strEntry : options.vEnv)
    vEnv.push_back(TestToNative(strEntry));
  AdminIds admin;
  if (options.bAsAdmin && !FindAdmin(admin)) return kTestRunFailed;
  int fds[2];
  if (pipe(fds) != 0) return kTestRunFailed;
  pid_t pid = fork();
  if (pid < 0) return kTestRunFailed;
  if (pid == 0) {
    close(fds[0]);
    ExecChild(fds[1], strCwd, vArgv, vEnv, options, admin);
  }
  close(fds[1]);
  // The child runs in a UTF-8 locale, so its console text converts back to
  // CP932 exactly.
  strOutput = TestUtf8ToCp932(ReadAll(fds[0]));
  close(fds[0]);
  int nStatus = 0;
  while (waitpid(pid, &nStatus, 0) != pid)
    if (errno != EINTR) return kTestRunFailed;
  return ExitResult(nStatus);
}

bool TestRunHasLimits() { return true; }

// An id with no account behind it, which is its own primary group too, so
// that the group sudo is its only way to the administrator's rights.
bool TestAdminAccount(unsigned& nUid, unsigned& nGid) {
  const unsigned kAdminId = 64990;
  if (geteuid() != 0 || getgrnam("sudo") == nullptr) return false;
  nUid = nGid = kAdminId;
  return true;
}

// Linux reports EIO on the terminal's side once the tool's side is closed,
// which ends ReadAll as the end of a pipe does.
int TestRunToolOnTerminal(const std::vector<std::string>& vArgs,
                          const std::string& strCwd, std::string& strOutput) {
  std::vector<std::string> vArgv{TestToolPath()};
  for (const std::string& strArg : vArgs) vArgv.push_back(TestToNative(strArg));
  int fdMaster = -1;
  pid_t pid = ForkOnTerminal(vArgv, strCwd, fdMaster);
  if (pid < 0) return kTestRunFailed;
  strOutput = TestUtf8ToCp932(ReadAll(fdMaster));
  close(fdMaster);
  int nStatus = 0;
  while (waitpid(pid, &nStatus, 0) != pid)
    if (errno != EINTR) return kTestRunFailed;
  return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : kTestRunFailed;
}

bool TestRunHasTerminal() { return true; }
