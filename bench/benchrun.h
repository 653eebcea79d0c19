// Runs a program as a child process and measures it (Linux).
//
// Results of BenchSpawn: true when the child was started and waited for
// (whatever its exit code); false when it could not be started.
#pragma once

#include <string>
#include <vector>

struct BenchRun {
  int nExit = -1;         // exit code; -1 when a signal ended the child
  double dWall = 0;       // seconds from its start to the end of the wait
  double dCpu = 0;        // the child's user and system seconds
  long nMaxRssKb = 0;     // the child's peak resident memory
  std::string strOutput;  // what it wrote to standard output and error
};

// Returns the monotonic clock in seconds.
double BenchNow();

// Runs strProgram with vArgs (argv[1]...) in the folder strCwd, through the
// launcher rav_launch beside this program, which measures it. The child
// gets this process's environment without its locale settings,
// LC_ALL=C.UTF-8 and the entries of vEnv ("NAME=value"); its output goes to
// the file strOutFile, the launcher's report to strOutFile + ".cost". A
// child still running after nTimeoutSeconds is killed.
bool BenchSpawn(const std::string& strProgram,
                const std::vector<std::string>& vArgs,
                const std::string& strCwd, const std::vector<std::string>& vEnv,
                const std::string& strOutFile, int nTimeoutSeconds,
                BenchRun& run);
