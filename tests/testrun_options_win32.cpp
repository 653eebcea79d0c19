// The run with options on Windows: the environment entries are set in this
// process around the run, since the child inherits them. The file-size limit
// and the timeout have no Windows form here (TestRunHasLimits says so).
#include <windows.h>

#include "testrun.h"

namespace {

// Returns the variable's value, with bSet false when it is not set.
std::string GetVariable(const std::string& strName, bool& bSet) {
  DWORD dwLen = GetEnvironmentVariableA(strName.c_str(), nullptr, 0);
  bSet = dwLen > 0;
  if (!bSet) return "";
  std::string strValue(dwLen, '\0');
  dwLen = GetEnvironmentVariableA(strName.c_str(), &strValue[0], dwLen);
  strValue.resize(dwLen);
  return strValue;
}

struct SavedVariable {
  std::string strName, strValue;
  bool bSet;
};

}  // namespace

int TestRunTool(const std::vector<std::string>& vArgs,
                const std::string& strCwd, std::string& strOutput,
                const TestRunOptions& options) {
  std::vector<SavedVariable> vSaved;
  bool bSet = true;
  for (const std::string& strEntry : options.vEnv) {
    size_t nEq = strEntry.find('=');
    SavedVariable saved{strEntry.substr(0, nEq), "", false};
    saved.strValue = GetVariable(saved.strName, saved.bSet);
    vSaved.push_back(saved);
    bSet = bSet && nEq != std::string::npos &&
           SetEnvironmentVariableA(saved.strName.c_str(),
                                   strEntry.c_str() + nEq + 1);
  }
  int nResult = bSet ? TestRunTool(vArgs, strCwd, strOutput) : kTestRunFailed;
  for (auto it = vSaved.rbegin(); it != vSaved.rend(); ++it)
    if (!SetEnvironmentVariableA(it->strName.c_str(),
                                 it->bSet ? it->strValue.c_str() : nullptr))
      nResult = kTestRunFailed;
  return nResult;
}

bool TestRunHasLimits() { return false; }
