// Fault injection for the tests of the retry and fallback paths.
//
// The state is process-wide and unguarded: the tool and its tests run on one
// thread.
#include "platform_internal.h"
#include "platform_test_helper.h"

namespace {

struct Fault {
  std::string strPathEnd;
  int nSkip = 0;
  int nTimes = 0;
};

Fault g_aFaults[kFaultCount];
bool g_bSleep = true;

bool EndsWith(const std::string& str, const std::string& strEnd) {
  return str.size() >= strEnd.size() &&
         str.compare(str.size() - strEnd.size(), strEnd.size(), strEnd) == 0;
}

}  // namespace

void PlatSetFault(int nCall, const std::string& strPathEnd, int nSkip,
                  int nTimes) {
  if (nCall < 0 || nCall >= kFaultCount) return;
  g_aFaults[nCall].strPathEnd = strPathEnd;
  g_aFaults[nCall].nSkip = nSkip;
  g_aFaults[nCall].nTimes = nTimes;
}

void PlatResetFaults(bool bSleep) {
  for (Fault& fault : g_aFaults) fault = Fault();
  g_bSleep = bSleep;
}

bool PlatFaultHit(int nCall, const std::string& strPath) {
  if (nCall < 0 || nCall >= kFaultCount) return false;
  Fault& fault = g_aFaults[nCall];
  if (fault.nTimes <= 0 || !EndsWith(strPath, fault.strPathEnd)) return false;
  if (fault.nSkip > 0) {
    --fault.nSkip;
    return false;
  }
  --fault.nTimes;
  PlatRecordError("fault", strPath, "injected by a test");
  return true;
}

bool PlatSleepWaits() { return g_bSleep; }
