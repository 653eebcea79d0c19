// The result file: the administrator's record of one run.
//
// result<timestamp>.txt in the current directory, appended to, one CP932
// line per record ended by CR LF. Layout: the command line, the data
// folder, the start time and a separator (LogOpen); the records of the
// walk; a separator, the closing time and, unless the run lists, the three
// counters (LogClose).
//
// Every record goes to the file with its own write; nothing is held back in
// the process, so a record once written survives a kill. A write, flush or
// close that fails is remembered (ResultWriteFailed): the walk stops there,
// and the cabinet whose records were lost counts as an error.
//
// Results:
//   LogOpen   1 open and header written; 0 the current directory cannot be
//             used; -1 the file cannot be opened; -2 its header cannot be
//             written
//   LogOut    1 written; 0 empty line or write failed
//   LogClose  the verdict: 0 no target cabinet; -1 some target failed; 1 all
//             targets succeeded
#pragma once

#include <string>

// Record type numbers of SetResultLog.
constexpr int kLogExe = 1;
constexpr int kLogSet = 2;
constexpr int kLogChg = 3;
constexpr int kLogCpy = 4;
constexpr int kLogClr = 5;
constexpr int kLogRst = 6;
constexpr int kLogUsr = 7;
constexpr int kLogLst = 8;
constexpr int kLogUnd = 9;
constexpr int kLogAdd = 11;
constexpr int kLogDel = 12;

// Result and access field values of SetResultLog.
constexpr int kLogNg = 0;
constexpr int kLogOk = 1;
constexpr int kLogNone = 0;
constexpr int kLogW = 1;
constexpr int kLogR = 2;
constexpr int kLogRW = 3;

// The run counters and the listing flag, reset by the run before the walk
// and updated by the operations.
extern int g_nTargetCabinetCount;
extern int g_nSuccessCabinetCount;
extern int g_nErrorCabinetCount;
extern int g_bListMode;

// Returns the longest current directory the run accepts, in bytes.
constexpr size_t kMaxCurrentDir = 259;

// Reads the current directory; false when it cannot be read, is longer
// than kMaxCurrentDir or is not a directory.
bool GetUsableCurrentDirectory(std::string& strDir);

// Creates the result file pszPrefix + strTimestamp + ".txt" and writes its
// header; strResultName receives the file name (without folder) once formed.
int LogOpen(const std::string& strTimestamp, const std::string& strStartTime,
            const std::string& strCommandLine, std::string& strResultName,
            const char* pszPrefix = "result");

// Appends one line (a "\n" inside it starts a further line).
int LogOut(const std::string& strLine);

// Returns the access field's text: "W", "R", "RW", or "" for kLogNone.
const char* AccessWord(int nAccess);

// Returns the six-field record for the type, result, access, user, place
// and message.
std::string SetResultLog(int nType, int nResult, int nAccess,
                         const std::string& strUser, const std::string& strLib,
                         const std::string& strCab, const std::string& strMsg);

// Writes the summary, closes the file and returns the verdict.
int LogClose();

// Returns true iff a write, flush or close of the result file has failed
// since LogOpen.
bool ResultWriteFailed();

// Adds one target cabinet to the counters, as a success or an error; a
// success whose records could not all be written counts as an error.
void CountCabinet(bool bSuccess);
