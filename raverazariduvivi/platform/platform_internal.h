// What both backends share inside the platform layer: the record of the last
// failed system call, and the fault hooks of the tests' build.
#pragma once

#include <string>

// Keeps a failed call for PlatLastError: its name, the path it was given
// (CP932) and the system's error code and text.
void PlatRecordError(const char* pszCall, const std::string& strPath,
                     const std::string& strError);

// PLAT_FAULT(nCall, strPath) is true iff an injected fault makes this call of
// kind nCall (a kFault* code of platform_test_helper.h) on strPath fail; the
// call then fails the way the real one would. PLAT_SLEEP_WAITS() tells
// whether PlatSleep really waits. Only the build that the tests link
// (RAV_PLATFORM_FAULTS) has hooks: in the shipped tool the first is false
// and the second true at compile time, so it holds no fault code at all.
#ifdef RAV_PLATFORM_FAULTS
bool PlatFaultHit(int nCall, const std::string& strPath);
bool PlatSleepWaits();
#define PLAT_FAULT(nCall, strPath) PlatFaultHit(nCall, strPath)
#define PLAT_SLEEP_WAITS() PlatSleepWaits()
#else
#define PLAT_FAULT(nCall, strPath) false
#define PLAT_SLEEP_WAITS() true
#endif
