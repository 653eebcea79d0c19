// Running the built tool from a test (testrun_*.cpp).
#pragma once

#include <string>
#include <vector>

// Returns the tool's path (from RAV_TOOL) in the platform's form.
std::string TestToolPath();

// Returns the command line that TestRunTool hands the tool for these
// arguments: the program path first, each part joined by one space and an
// argument that is empty or holds a space or tab put in double quotes.
std::string TestCommandLine(const std::string& strExe,
                            const std::vector<std::string>& vArgs);

// Runs the tool with CP932 arguments in the folder strCwd, waits for it and
// returns its exit code (0 to 255), or -1000 when it cannot be run.
// strOutput receives its standard output as CP932 text with LF line ends.
int TestRunTool(const std::vector<std::string>& vArgs,
                const std::string& strCwd, std::string& strOutput);
