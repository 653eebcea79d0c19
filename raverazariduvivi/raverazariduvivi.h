// The run: start-up checks, the walk over libraries and cabinets (or the
// backup that /undo names), the dispatch to one operation per cabinet, the
// closing message.
//
// Exit codes of RunTool:
//   -1 a start-up check, the command line or the result file failed
//    1 the usage text was shown, or no target cabinet failed
//    0 at least one target cabinet failed
#pragma once

#include <string>

// Runs the tool once with the process arguments; returns the exit code.
int RunTool(int argc, char** argv);
