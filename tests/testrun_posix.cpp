// Runs the tool as a child process on POSIX systems.
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

// Runs in the child between fork and exec; vEnv holds the options'
// environment entries, already converted.
[[noreturn]] void ExecChild(int fdOut, const std::string& strCwd,
                            std::vector<std::string>& vArgv,
                            std::vector<std::string>& vEnv,
                            const TestRunOptions& options) {
  if (dup2(fdOut, STDOUT_FILENO) < 0 || chdir(strCwd.c_str()) != 0) _exit(127);
  if (setenv("LC_ALL", "C.UTF-8", 1) != 0) _exit(127);
  for (std::string& strEntry : vEnv)
    if (putenv(strEntry.data()) != 0) _exit(127);
  if (!ApplyLimits(options)) _exit(127);
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
  int fds[2];
  if (pipe(fds) != 0) return kTestRunFailed;
  pid_t pid = fork();
  if (pid < 0) return kTestRunFailed;
  if (pid == 0) {
    close(fds[0]);
    ExecChild(fds[1], strCwd, vArgv, vEnv, options);
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
