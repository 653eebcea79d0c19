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
// the result; backends never throw and never print. Every system call of a
// backend goes through one wrapper that keeps, on failure, the call, the
// path and the system's error code and text (PlatLastError). Only "no such
// file" and "no such folder" mean absent; any other failure is a failure.
// Tests make chosen calls fail through platform_test_helper.h, in a build
// of the platform that only the tests link.
//
// Result codes of PlatGetFileKind:
//   kPlatQueryFailed -1  the system could not tell (no right to look, a path
//                        it cannot name, an I/O error): see PlatLastError
//   kPlatMissing      0  nothing exists at the path
//   kPlatFile         1  a file (anything that is not a directory)
//   kPlatDir          2  a directory
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

constexpr int kPlatQueryFailed = -1;
constexpr int kPlatMissing = 0;
constexpr int kPlatFile = 1;
constexpr int kPlatDir = 2;

// ---- Paths -----------------------------------------------------------

// Returns the byte that joins a child to its folder: '\\' on Windows, '/'
// elsewhere.
char PlatPathSeparator();

// ---- Errors -------------------------------------------------------------

// Returns the last failed system call: its name, the path and the system's
// own error code and text, e.g. "open(/srv/Lib1/Folder.ini): errno 13,
// Permission denied". Empty before the first failure.
std::string PlatLastError();

// ---- File system ------------------------------------------------------

// Returns kPlatFile or kPlatDir for the path (links are followed),
// kPlatMissing only when the path or a folder on it does not exist, and
// kPlatQueryFailed for any other failure of the query.
int PlatGetFileKind(const std::string& strPath);

// Returns true iff a regular file stands at the path itself: not a link (or
// other reparse point), folder, FIFO, socket or device.
bool PlatIsRegularFile(const std::string& strPath);

// Result codes of PlatReadFile:
constexpr int kPlatReadOk = 1;       // strData holds every byte of the file
constexpr int kPlatReadMissing = 0;  // nothing exists at the path
constexpr int kPlatReadFailed = -1;  // cannot be opened or read, or is no
                                     // regular file (a FIFO, a device)
constexpr int kPlatReadBusy = -2;    // another process holds the file open
                                     // without sharing, or has locked a
                                     // range of it; worth retrying

// Reads the whole file in binary into strData (left alone on failure). A
// link is followed; the open never blocks, so a FIFO or a device where the
// file should be is kPlatReadFailed at once.
int PlatReadFile(const std::string& strPath, std::string& strData);

// Reads like PlatReadFile, but never through a link, and only a file of the
// running account's own that no one else may write (POSIX: its owner is the
// effective user, with no write bit for group or others; Windows: its owner
// is the user or the Administrators group, and no other account or group
// may write it); any other file is kPlatReadFailed.
int PlatReadOwnFile(const std::string& strPath, std::string& strData);

// An open file for writing; opaque to the core.
struct PlatFile;

// Closes a file whose owner goes away before PlatClose; the result of that
// close is ignored (see PlatFileHandle).
struct PlatFileCloser {
  void operator()(PlatFile* pFile) const;
};

// The owner of an open file: the file is closed when the owner goes away,
// so that no error path can leave it open. A close whose result matters
// goes through PlatClose; the owner closes only on paths that have already
// failed or that have no use for the result.
using PlatFileHandle = std::unique_ptr<PlatFile, PlatFileCloser>;

// Creates a new, empty file for writing. Fails when anything already stands
// at the path, a link included, so that nothing is ever written through a
// planted link. Returns an empty handle on failure.
PlatFileHandle PlatCreateFile(const std::string& strPath);

// Opens a regular file for appending, creating it when missing. A link, a
// FIFO, a folder or a device at the path is refused without blocking, and
// so is a file that the running account does not own or that others may
// write (see PlatReadOwnFile): anyone may plant a file in a shared current
// folder. An empty handle on failure.
PlatFileHandle PlatOpenAppend(const std::string& strPath);

// Writes all bytes to an open file. Returns true iff every byte was written.
bool PlatWrite(PlatFile* pFile, const std::string& strData);

// Flushes the open file's data to the disk itself. Returns true on success.
bool PlatSync(PlatFile* pFile);

// Closes the open file, flushing what is buffered, and empties the handle.
// Returns true iff the flush and the close both succeeded; the file is
// closed either way.
bool PlatClose(PlatFileHandle& pFile);

// Copies the regular file src over the regular file dst (dst is
// overwritten in place, or created) and flushes dst to the disk. A link or
// any other kind of file at either path fails the copy. Returns true on
// success.
bool PlatCopyFile(const std::string& strSrc, const std::string& strDst);

// Deletes the name (a link itself, never its target). Returns true on
// success.
bool PlatDeleteFile(const std::string& strPath);

// Result codes of PlatReplaceFile:
constexpr int kPlatReplaced = 1;  // dst now holds src's content, src is gone
constexpr int kPlatRefused = 0;   // no atomic replace is possible here (the
                                  // files on two volumes, a file system
                                  // without one); a copy may do
constexpr int kPlatReplaceFailed = -1;  // any other failure, another
                                        // process's hold of dst included
constexpr int kPlatNotRegular = -2;     // src or dst is no regular file (a
                                        // link, FIFO, folder): nothing done

// Replaces dst by src in one atomic step. The POSIX backend keeps dst's
// owner, group, permissions, access-control list and extended attributes
// (taken over by descriptor, never by path); the Windows one keeps dst's
// access-control list, attributes and streams, but the owner is src's. The
// result never grants wider access than dst did. When the caller has
// flushed src's data (PlatSync), dst holds either its old or its new
// content after a crash.
int PlatReplaceFile(const std::string& strSrc, const std::string& strDst);

// Flushes the entries of the folder that holds strPath (the files created,
// renamed or removed in it) to the disk itself. Returns true on success.
bool PlatSyncFolderOf(const std::string& strPath);

// Reads the file's size and last modification time (a link is followed);
// the time's unit is the system's, good only for telling a change. Returns
// false when it cannot.
bool PlatGetFileStamp(const std::string& strPath, long long& nSize,
                      long long& nTime);

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
// program's App Paths key, a REG_EXPAND_SZ value expanded (Windows: the
// 32-bit view's key first, then the 64-bit one's). Returns 1 when the key
// could be opened (an absent or over-long value then comes back empty), 0
// when it cannot be opened.
int PlatReadAppPathsKey(std::string& strDefault, std::string& strVersion);

// Reads one value of Tenbo2Lib.ini with the system's private-profile reader
// (the POSIX backend uses profile_reader.h). Stores at most nSize - 1 bytes
// and a NUL into pBuffer and returns the count of bytes stored; the default
// comes back when the file, the section or the key is missing, and also,
// on Windows, when the file cannot be read.
unsigned PlatGetPrivateProfileString(const char* pszSection, const char* pszKey,
                                     const char* pszDefault, char* pBuffer,
                                     unsigned nSize,
                                     const std::string& strIniPath);

// ---- Process -------------------------------------------------------------

// Prepares the process before anything else runs: a write beyond the
// file-size limit becomes a failing write instead of ending the process.
void PlatInitProcess();

// Takes the named system-wide single-instance lock and keeps it until the
// process ends (on Windows the named mutex of the logon session and its
// "Global\" one of the machine; another process's hold of either refuses).
// Returns 1 when this process holds it, 0 when another process does or the lock
// cannot be had. Never waits; a lock left by a process that has ended never
// blocks.
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

// Writes CP932 text to standard output and flushes. A Windows console gets
// the characters themselves, whatever its code page; a pipe or a file on
// Windows gets the CP932 bytes as they are. POSIX converts to the locale's
// charset character by character (only a character that it lacks is
// replaced). Returns true on success.
bool PlatWriteConsole(const std::string& strText);

// Returns true iff standard output is a terminal (a console on Windows),
// not a pipe or a file.
bool PlatConsoleIsTerminal();

// ---- Code page -----------------------------------------------------------

// Returns true iff the byte is a lead byte of a double-byte character.
bool PlatIsLeadByte(unsigned char chByte);

// Returns the length of the character at nPos of str (nPos < size): 2 for a
// lead byte with a byte after it, else 1. The one rule of a CP932 character
// for every unit.
size_t PlatCharLen(std::string_view str, size_t nPos);

// Returns CP932 text as UTF-8; a character that has no Unicode form
// becomes U+FFFD.
std::string PlatAnsiToUtf8(const std::string& strText);

// Lower-cases one character: a single byte, or lead << 8 | trail for a
// double-byte character. Returns the character unchanged when it has no
// lower-case form.
unsigned PlatLowerChar(unsigned nChar);
