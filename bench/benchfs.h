// File and text helpers shared by the benchmark programs (Linux).
//
// Names in the store's lists are CP932; on disk the folders have UTF-8
// names, as the tool makes them at its system calls. Paths given to the
// functions below are native (UTF-8) paths.
//
// Results: the bool functions return true on success; BenchReadFile
// leaves strData alone on failure.
#pragma once

#include <string>
#include <vector>

// Returns CP932 text as UTF-8; a byte that does not convert stays as it is.
std::string BenchUtf8(const std::string& strCp932);

// Returns UTF-8 text as CP932; a byte that does not convert stays as it is.
std::string BenchCp932(const std::string& strUtf8);

// Returns the lines joined, each ended by CR LF.
std::string BenchCrLf(const std::vector<std::string>& vLines);

// Returns the non-empty items of a comma-separated list, in order.
std::vector<std::string> BenchItems(const std::string& strList);

// Returns the names joined, each followed by a comma.
std::string BenchJoinList(const std::vector<std::string>& vNames);

// Reads the whole file: one open, reads until the end, one close.
bool BenchReadFile(const std::string& strPath, std::string& strData);

// Writes the bytes as the whole file (created or truncated), without
// flushing it to the disk; the missing folders above it are made.
bool BenchWriteFile(const std::string& strPath, const std::string& strData);

// Creates the folder and every missing folder above it.
bool BenchMakeDirs(const std::string& strPath);

// Writes every byte to the open descriptor, again after a signal. Returns
// true on success.
bool BenchWriteAll(int nFd, const std::string& strData);

// Removes the path and everything below it; true when nothing is left.
bool BenchRemoveTree(const std::string& strPath);

// Flushes every file system write still pending on strPath's file system.
bool BenchSyncFs(const std::string& strPath);

// Returns true iff strPath is on a memory file system (tmpfs).
bool BenchIsMemoryFs(const std::string& strPath);

// Returns the relative paths of the regular files below strRoot, sorted.
std::vector<std::string> BenchListFiles(const std::string& strRoot);

// Returns the folder of the running program ("" when it cannot be read).
std::string BenchSelfDir();
