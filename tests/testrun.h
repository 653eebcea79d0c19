// Running the built tool from a test (testrun_*.cpp).
//
// Results of TestRunTool:
//   0 to 255          the tool's exit code
//   kTestRunFailed    the tool cannot be run
//   kTestRunTimedOut  the tool was still running at the timeout and was
//                     killed
//   kTestRunSignal-N  the tool was killed by signal N (POSIX)
#pragma once

#include <string>
#include <vector>

constexpr int kTestRunFailed = -1000;
constexpr int kTestRunTimedOut = -1001;
constexpr int kTestRunSignal = -2000;

// What a run adds to the plain one.
struct TestRunOptions {
  // "NAME=value" entries in CP932, converted like the arguments, added to
  // (or replacing in) the tool's environment.
  std::vector<std::string> vEnv;
  // The largest file the tool may write, in bytes (POSIX RLIMIT_FSIZE); -1
  // for no limit.
  long long nFileSizeLimit = -1;
  // Seconds after which a run that hangs is killed (POSIX).
  unsigned nTimeoutSeconds = 30;
  // Runs the tool as the account of TestAdminAccount (POSIX).
  bool bAsAdmin = false;
};

// Gives the user and primary group ids of the account that runs the tool
// for TestRunOptions::bAsAdmin: no root, but a member of the group sudo, so
// an administrator by the tool's rule whom the system's permissions still
// hold back. False where there is none: on Windows, without that group, or
// when the tests do not run as root.
bool TestAdminAccount(unsigned& nUid, unsigned& nGid);

// Returns the tool's path (from RAV_TOOL) in the platform's form.
std::string TestToolPath();

// Returns the command line that TestRunTool hands the tool for these
// arguments: the program path first, each part joined by one space and an
// argument that is empty or holds a space or tab put in double quotes.
std::string TestCommandLine(const std::string& strExe,
                            const std::vector<std::string>& vArgs);

// Runs the tool with CP932 arguments in the folder strCwd, waits for it and
// returns its result (see above). strOutput receives its standard output as
// CP932 text with LF line ends.
int TestRunTool(const std::vector<std::string>& vArgs,
                const std::string& strCwd, std::string& strOutput);

// The same with the options.
int TestRunTool(const std::vector<std::string>& vArgs,
                const std::string& strCwd, std::string& strOutput,
                const TestRunOptions& options);

// Returns true where the options' file-size limit and timeout act (POSIX).
bool TestRunHasLimits();

// Runs the tool like TestRunTool, but with its standard output on a
// pseudo-terminal that passes bytes as they are (no LF to CR LF);
// kTestRunFailed where there is none (Windows: the tests run without a
// console).
int TestRunToolOnTerminal(const std::vector<std::string>& vArgs,
                          const std::string& strCwd, std::string& strOutput);

// Returns true where TestRunToolOnTerminal can run the tool (POSIX).
bool TestRunHasTerminal();
