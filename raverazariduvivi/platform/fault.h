// Fault injection shared by both backends (internal to the platform layer).
//
// Each backend wrapper of a call that tests can make fail asks PlatFaultHit
// before doing the real work, and fails the way the real call would.
#pragma once

#include <string>

// Returns true iff an injected fault makes this call of kind nCall (a kFault*
// code of platform_test_helper.h) on strPath fail. Counts the call against the
// fault's skip and fail budgets.
bool PlatFaultHit(int nCall, const std::string& strPath);

// Returns true iff PlatSleep really waits (set by PlatResetFaults).
bool PlatSleepWaits();
