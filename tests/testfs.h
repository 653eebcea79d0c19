// File-system services of the end-to-end tests beyond testutil.h: links,
// FIFOs and a snapshot of a folder tree (testfs_*.cpp).
//
// Every path here is CP932, like the tool's own paths.
#pragma once

#include <map>
#include <string>

// One entry of a snapshot. Kinds: 'f' regular file, 'd' folder, 'l' link
// (or other reparse point), 'p' FIFO, '?' anything else.
struct TestEntry {
  char chKind = '?';
  std::string strData;  // a file's bytes, a link's target
  unsigned nMode = 0;   // POSIX permission bits; 0 where there are none
};

// Returns the entry at the path itself (kind '-' when nothing is there).
TestEntry TestReadEntry(const std::string& strPath);

// Returns every entry below strRoot by its path relative to strRoot,
// written with "/"; links are not followed and a FIFO is never opened.
std::map<std::string, TestEntry> TestSnapshot(const std::string& strRoot);

// Results of the TestMake* calls:
constexpr int kTestMade = 1;         // made
constexpr int kTestUnsupported = 0;  // the system (or this process) cannot
constexpr int kTestMakeFailed = -1;  // any other failure

// Makes strPath a symbolic link holding strTarget as written (a relative
// target counts from the link's folder).
int TestMakeSymlink(const std::string& strPath, const std::string& strTarget);

// Makes strPath a second name of the existing file strExisting.
int TestMakeHardLink(const std::string& strPath,
                     const std::string& strExisting);

// Makes strPath a FIFO.
int TestMakeFifo(const std::string& strPath);

// Returns what tells the file at the path itself from any other file (device
// and inode, or volume and file index); "" when nothing is there.
std::string TestFileId(const std::string& strPath);

// Returns the CP932 text in the form the system calls take: UTF-8 on POSIX
// (text that does not convert is kept as it is), unchanged on Windows.
std::string TestToNative(const std::string& strText);
