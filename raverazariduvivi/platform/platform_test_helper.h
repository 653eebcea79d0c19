// Test-only hooks of the platform layer: fault injection and the switch
// that makes PlatSleep return at once.
//
// The backends include this header to honour the hooks and the tests include
// it to set them; the core of the tool never does, so no product code can
// switch a fault on.
#pragma once

#include <string>

// The system calls that a test can make fail. A faulty call does nothing and
// fails the way the real call would: an empty handle, false, kPlatReadFailed
// (kFaultRead) or kPlatReadBusy (kFaultBusy) for PlatReadFile, or for
// PlatReplaceFile kPlatReplaceFailed (kFaultReplace, a failure worth
// retrying) or kPlatRefused (kFaultRefuse, which sends the caller to its
// copy-and-delete fallback). A faulty PlatClose still closes the file; a handle
// closed by its scope has no result to fail. A copy or a replace is matched on
// its destination path.
constexpr int kFaultCreate = 0;   // PlatCreateFile, PlatOpenAppend
constexpr int kFaultWrite = 1;    // PlatWrite
constexpr int kFaultSync = 2;     // PlatSync
constexpr int kFaultClose = 3;    // PlatClose
constexpr int kFaultCopy = 4;     // PlatCopyFile
constexpr int kFaultDelete = 5;   // PlatDeleteFile
constexpr int kFaultReplace = 6;  // PlatReplaceFile gives kPlatReplaceFailed
constexpr int kFaultRefuse = 7;   // PlatReplaceFile gives kPlatRefused
constexpr int kFaultRead = 8;     // PlatReadFile gives kPlatReadFailed
constexpr int kFaultBusy = 9;     // PlatReadFile gives kPlatReadBusy
constexpr int kFaultCount = 10;

// Makes call nCall on a path that ends in strPathEnd fail nTimes, after
// nSkip such calls that succeed. nTimes 0 clears the fault.
void PlatSetFault(int nCall, const std::string& strPathEnd, int nSkip,
                  int nTimes);

// Clears every fault, and tells whether PlatSleep really waits (false: it
// returns at once, so tests of the retry loops do not wait).
void PlatResetFaults(bool bSleep);
