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

// Makes the installation registry hold the environment-setup program's App
// Paths key with the default value strExe and the value "version"; an empty
// string leaves that value out. Returns true on success.
bool TestSetAppPathsKey(const std::string& strExe,
                        const std::string& strVersion);

// Removes the App Paths key, so that it cannot be opened.
void TestDeleteAppPathsKey();

// Where a text file stands in for the registry (POSIX), makes strText that
// file and returns true; returns false where the registry is real.
bool TestWriteRegistryExport(const std::string& strText);
