// Runs one program and reports what it cost, for the runner (benchrun.h):
//
//   rav_launch <report file> <program> [<argument>...]
//
// writes "<exit code> <wall seconds> <cpu seconds> <peak RSS in KB>\n" to
// the report file; the exit code is -1 when a signal ended the program.
//
// The runner does not start the measured program itself: Linux counts the
// memory of the process that execs into a program as that program's peak,
// and the runner holds whole stores' outcomes. This launcher stays small,
// so the peak it reports is the program's own. The program is killed when
// the launcher dies (the runner's timeout).
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) +
         static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Seconds(const timeval& tv) {
  return static_cast<double>(tv.tv_sec) +
         static_cast<double>(tv.tv_usec) * 1e-6;
}

// Waits for the child, again when a signal interrupts the wait.
bool Wait(pid_t nPid, int& nStatus, rusage& ru) {
  pid_t nDone;
  do {
    nDone = wait4(nPid, &nStatus, 0, &ru);
  } while (nDone < 0 && errno == EINTR);
  return nDone == nPid;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: rav_launch <report file> <program> ...\n");
    return 2;
  }
  double dStart = Now();
  pid_t nPid = fork();
  if (nPid == 0) {
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) _exit(126);
    execv(argv[2], argv + 2);
    _exit(127);
  }
  int nStatus = 0;
  rusage ru;
  if (nPid < 0 || !Wait(nPid, nStatus, ru)) return 2;
  double dWall = Now() - dStart;
  FILE* pReport = std::fopen(argv[1], "w");
  if (pReport == nullptr) return 2;
  int nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
  bool bWritten = std::fprintf(pReport, "%d %.6f %.6f %ld\n", nExit, dWall,
                               Seconds(ru.ru_utime) + Seconds(ru.ru_stime),
                               ru.ru_maxrss) > 0;
  return std::fclose(pReport) == 0 && bWritten ? 0 : 2;
}
