// Helpers shared by the tests: scratch folders, whole-file reads and writes,
// and the few OS services that only tests need (testplat_*.cpp).
//
// Every path here is CP932, like the tool's own paths.
#pragma once

#include <string>
#include <vector>

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes away.
struct ScratchDir {
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // Returns the folder joined with a relative path written with "/".
  std::string Path(const std::string& strRelative = "") const;
  std::string strRoot;
};

// Writes the bytes to the file, creating the folders on the way. Returns
// true on success.
bool TestWriteFile(const std::string& strPath, const std::string& strData);

// Returns the file's bytes, or "<missing>" when it cannot be read.
std::string TestReadFile(const std::string& strPath);

// Creates the folder and every missing folder above it.
bool TestMakeDirs(const std::string& strPath);

// Returns the lines joined, each ended by CR LF.
std::string CrLf(const std::vector<std::string>& vLines);

// Returns the repository's folder (from RAV_SOURCE_DIR) in the platform's
// path form.
std::string TestSourceDir();

// ---- testplat_*.cpp ---------------------------------------------------------

// Creates a fresh folder under the temporary folder; "" on failure.
std::string TestMakeTempDir();

// Removes a folder and everything below it.
void TestRemoveTree(const std::string& strPath);

// Converts UTF-8 text to CP932; bytes that do not convert stay as they are.
std::string TestUtf8ToCp932(const std::string& strUtf8);

// Converts a path written with "/" to the platform's form.
std::string TestNativePath(const std::string& strPath);

// How TestSetAppPathsKey stores the key (the forms but the first exist in
// the Windows registry alone):
constexpr int kTestRegPlain = 0;   // REG_SZ values in the process's own view
constexpr int kTestRegExpand = 1;  // the program path a REG_EXPAND_SZ
constexpr int kTestReg32Bit = 2;   // REG_SZ values in the 32-bit view

// Makes the installation registry hold the environment-setup program's App
// Paths key with the default value strExe and the value "version"; an empty
// string leaves that value out. Returns true on success, false also where
// the form does not exist.
bool TestSetAppPathsKey(const std::string& strExe,
                        const std::string& strVersion,
                        int nForm = kTestRegPlain);

// Removes the App Paths key (from every view), so that it cannot be opened.
void TestDeleteAppPathsKey();

// Where a text file stands in for the registry (POSIX), makes strText that
// file and returns true; returns false where the registry is real.
bool TestWriteRegistryExport(const std::string& strText);

// ---- Owner, attributes, console (testplat_*.cpp) ----------------------------
// Each returns false (or "") where the platform has no such thing (Windows),
// so the test skips.

// Sets owner and group of the name itself (a link is not followed).
bool TestSetOwner(const std::string& strPath, unsigned nUid, unsigned nGid);

// Sets the extended attribute strName of the name itself.
bool TestSetXattr(const std::string& strPath, const std::string& strName,
                  const std::string& strValue);

// Lets every account write the file: the mode's write bits for group and
// others (POSIX), an allowed entry for Everyone (Windows).
bool TestLetOthersWrite(const std::string& strPath);

// Gives a file an access ACL, or a folder a default ACL, that lets the user
// nUid read and write.
bool TestSetAcl(const std::string& strPath, bool bDefault, unsigned nUid);

// Describes the name itself: type and permission bits, owner and group, then
// every extended attribute (ACLs included) as name=hex value, one a line in
// name order. "" when it cannot.
std::string TestDescribeFile(const std::string& strPath);

// Writes strText with PlatWriteConsole while standard output goes to a file,
// and gives what arrived there in strOut.
bool TestCaptureConsole(const std::string& strText, std::string& strOut);

// How TestHoldFile holds a file:
constexpr int kTestHoldAlone = 0;      // shared with nobody, as a server would
constexpr int kTestHoldReadWrite = 1;  // shared for reading and writing but
                                       // not deleting, as a virus scanner or
                                       // the search indexer
constexpr int kTestHoldLock = 2;       // shared wholly, every byte locked

// Opens the file and keeps it open (and locked) for nMilliseconds on a
// background thread; returns false where files cannot be held (POSIX).
bool TestHoldFile(const std::string& strPath, int nMilliseconds,
                  int nHow = kTestHoldAlone);

// Holds the machine-wide form of the single-instance lock of the name (on
// Windows the mutex "Global\<name>" alone) until the process ends; false
// where the lock has one form only (POSIX).
bool TestHoldMachineLock(const std::string& strName);

// Closes every file that TestHoldFile still holds and waits for its holder
// to end; call it before the held file's folder goes away.
void TestReleaseHeldFiles();

// Returns true iff the existing file is open: on POSIX through a descriptor
// of this process, on Windows through any handle to its data (an open that
// shares nothing is then refused).
bool TestIsOpen(const std::string& strPath);
