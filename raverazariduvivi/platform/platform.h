// The operating-system interface of the tool.
//
// Everything the portable core needs from the system goes through the free
// functions below; this header includes no system header. Two backends
// implement it, platform_win32.cpp (the real Windows API) and
// platform_posix.cpp, and CMake links exactly one of them.
//
// All text crossing this interface is a byte string in the ANSI code page
// CP932 (Shift-JIS): paths, file contents, registry values, console text.
// A backend converts to and from the system's own charset at this boundary.
//
// Every call that can fail is checked by the backend and reported through
// the result; backends never throw and never print.
//
// Result codes used below:
//   kPlatMissing 0   nothing exists at the path
//   kPlatFile    1   a file (anything that is not a directory)
//   kPlatDir     2   a directory
#pragma once

#include <string>
#include <vector>

constexpr int kPlatMissing = 0;
constexpr int kPlatFile = 1;
constexpr int kPlatDir = 2;

// ---- Paths -----------------------------------------------------------

// Returns the byte that joins a child to its folder: '\\' on Windows, '/'
// elsewhere.
char PlatPathSeparator();

// ---- File system ------------------------------------------------------

// Returns kPlatMissing, kPlatFile or kPlatDir for the path.
int PlatGetFileKind(const std::string& strPath);

// Returns true iff the file can be opened for reading (a directory cannot).
bool PlatCanOpenForRead(const std::string& strPath);

// Reads the whole file in binary into strData. Returns 1 on success, 0 when
// nothing exists at the path, -1 when it cannot be opened or read.
int PlatReadFile(const std::string& strPath, std::string& strData);

// An open file for writing; opaque to the core.
struct PlatFile;

// Creates (or truncates) a file for writing. Returns nullptr on failure.
PlatFile* PlatCreateFile(const std::string& strPath);

// Opens a file for appending, creating it when missing. nullptr on failure.
PlatFile* PlatOpenAppend(const std::string& strPath);

// Writes all bytes. Returns true iff every byte was written.
bool PlatWrite(PlatFile* pFile, const std::string& strData);

// Flushes the file's data to the disk itself. Returns true on success.
bool PlatSync(PlatFile* pFile);

// Closes the file, flushing what is buffered. Returns true iff the flush and
// the close both succeeded; the handle is gone either way.
bool PlatClose(PlatFile* pFile);

// Copies src over dst (dst is overwritten). Returns true on success.
bool PlatCopyFile(const std::string& strSrc, const std::string& strDst);

// Deletes a file. Returns true on success.
bool PlatDeleteFile(const std::string& strPath);

// Result codes of PlatReplaceFile:
constexpr int kPlatReplaced = 1;  // dst now holds src's content, src is gone
constexpr int kPlatRefused = 0;   // the system refused an atomic replace
constexpr int kPlatReplaceFailed = -1;  // any other failure

// Replaces dst by src in one atomic step, keeping dst's owner, permissions
// and attributes. After a crash dst holds either its old or its new content.
int PlatReplaceFile(const std::string& strSrc, const std::string& strDst);

// Creates one directory. Returns true on success.
bool PlatMakeDirectory(const std::string& strPath);

// Reads the process's current directory. Returns false when it cannot.
bool PlatGetCurrentDirectory(std::string& strDir);

// ---- Time ---------------------------------------------------------------

// Returns the local time now, formatted with the strftime pattern.
std::string PlatFormatLocalTime(const char* pszFormat);

// Waits nMilliseconds.
void PlatSleep(int nMilliseconds);

// ---- Installation registry -------------------------------------------------

// Reads the default value and the value "version" of the environment-setup
// program's App Paths key. Returns 1 when the key could be opened (an absent
// or over-long value then comes back empty), 0 when it cannot be opened.
int PlatReadAppPathsKey(std::string& strDefault, std::string& strVersion);

// Reads one value of a private-profile INI file, with the lookup rules of
// the Windows private-profile reader (see profile_reader.h for the POSIX
// implementation and its rules). Stores at most nSize - 1 bytes and a NUL
// into pBuffer and returns the count of bytes stored; the default comes
// back when the file, the section or the key is missing.
unsigned PlatGetPrivateProfileString(const char* pszSection, const char* pszKey,
                                     const char* pszDefault, char* pBuffer,
                                     unsigned nSize,
                                     const std::string& strIniPath);

// ---- Process -------------------------------------------------------------

// Takes the named system-wide single-instance lock and keeps it until the
// process ends. Returns 1 when this process holds it, 0 when another process
// does or the lock cannot be had.
int PlatAcquireSingleInstance(const char* pszName);

// Result codes of PlatIsAdministrator:
constexpr int kPlatAdmin = 1;           // runs with administrator rights
constexpr int kPlatNotAdmin = 0;        // runs without them
constexpr int kPlatTokenError = -1;     // the process token cannot be opened
constexpr int kPlatMemoryError = -2;    // no memory for the group list
constexpr int kPlatGroupsError = -3;    // the group list cannot be read
constexpr int kPlatSidAdminError = -4;  // the group identifiers cannot be built
constexpr int kPlatSidPowerError = -5;
constexpr int kPlatSidUsersError = -6;

// Tells whether the process runs with administrator rights.
int PlatIsAdministrator();

// Returns the process arguments (argv[0] included) in CP932.
std::vector<std::string> PlatGetArguments(int argc, char** argv);

// Returns the whole command line as the process received it, in CP932.
std::string PlatGetCommandLine(int argc, char** argv);

// Writes CP932 text to standard output, converted for the console, and
// flushes. Returns true on success.
bool PlatWriteConsole(const std::string& strText);

// ---- Code page -----------------------------------------------------------

// Returns true iff the byte is a lead byte of a double-byte character.
bool PlatIsLeadByte(unsigned char chByte);

// Lower-cases one character: a single byte, or lead << 8 | trail for a
// double-byte character. Returns the character unchanged when it has no
// lower-case form.
unsigned PlatLowerChar(unsigned nChar);

// ---- Fault injection (tests) ----------------------------------------------

// The system calls that a test can make fail. A faulty call does nothing and
// fails the way the real call would: nullptr, false, or for PlatReplaceFile
// kPlatReplaceFailed (kFaultReplace, a failure worth retrying) or
// kPlatRefused (kFaultRefuse, which sends the caller to its copy-and-delete
// fallback). A faulty PlatClose still closes the file. A copy or a replace
// is matched on its destination path.
constexpr int kFaultCreate = 0;   // PlatCreateFile, PlatOpenAppend
constexpr int kFaultWrite = 1;    // PlatWrite
constexpr int kFaultSync = 2;     // PlatSync
constexpr int kFaultClose = 3;    // PlatClose
constexpr int kFaultCopy = 4;     // PlatCopyFile
constexpr int kFaultDelete = 5;   // PlatDeleteFile
constexpr int kFaultReplace = 6;  // PlatReplaceFile gives kPlatReplaceFailed
constexpr int kFaultRefuse = 7;   // PlatReplaceFile gives kPlatRefused
constexpr int kFaultCount = 8;

// Makes call nCall on a path that ends in strPathEnd fail nTimes, after
// nSkip such calls that succeed. nTimes 0 clears the fault.
void PlatSetFault(int nCall, const std::string& strPathEnd, int nSkip,
                  int nTimes);

// Clears every fault, and tells whether PlatSleep really waits (false: it
// returns at once, so tests of the retry loops do not wait).
void PlatResetFaults(bool bSleep);
