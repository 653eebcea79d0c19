// Runs the tool as a child process on POSIX systems.
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

// Runs in the child between fork and exec.
[[noreturn]] void ExecChild(int fdOut, const std::string& strCwd,
                            std::vector<std::string>& vArgv) {
  if (dup2(fdOut, STDOUT_FILENO) < 0 || chdir(strCwd.c_str()) != 0) _exit(127);
  setenv("LC_ALL", "C.UTF-8", 1);
  std::vector<char*> vPtrs;
  for (std::string& strArg : vArgv) vPtrs.push_back(strArg.data());
  vPtrs.push_back(nullptr);
  execv(vPtrs[0], vPtrs.data());
  _exit(127);
}

// The child's arguments in UTF-8, as a shell in a UTF-8 locale passes them.
std::vector<std::string> ChildArgv(const std::vector<std::string>& vArgs) {
  std::vector<std::string> vArgv{TestToolPath()};
  iconv_t cd = iconv_open("UTF-8", "CP932");
  for (const std::string& strArg : vArgs) {
    std::string strOut(strArg.size() * 3 + 1, '\0');
    char* pIn = const_cast<char*>(strArg.data());
    size_t nIn = strArg.size();
    char* pOut = strOut.data();
    size_t nOut = strOut.size();
    iconv(cd, &pIn, &nIn, &pOut, &nOut);
    strOut.resize(strOut.size() - nOut);
    vArgv.push_back(strOut);
  }
  iconv_close(cd);
  return vArgv;
}

}  // namespace

std::string TestToolPath() {
  const char* pszTool = std::getenv("RAV_TOOL");
  return pszTool == nullptr ? "" : pszTool;
}

int TestRunTool(const std::vector<std::string>& vArgs,
                const std::string& strCwd, std::string& strOutput) {
  std::vector<std::string> vArgv = ChildArgv(vArgs);
  int fds[2];
  if (pipe(fds) != 0) return -1000;
  pid_t pid = fork();
  if (pid < 0) return -1000;
  if (pid == 0) {
    close(fds[0]);
    ExecChild(fds[1], strCwd, vArgv);
  }
  close(fds[1]);
  // The child runs in a UTF-8 locale, so its console text converts back to
  // CP932 exactly.
  strOutput = TestUtf8ToCp932(ReadAll(fds[0]));
  close(fds[0]);
  int nStatus = 0;
  if (waitpid(pid, &nStatus, 0) != pid || !WIFEXITED(nStatus)) return -1000;
  return WEXITSTATUS(nStatus);
}
