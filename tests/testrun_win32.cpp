// Runs the tool as a child process on Windows.
#include <windows.h>

#include <cstdlib>

#include "testrun.h"
#include "testutil.h"

namespace {

std::string ReadAll(HANDLE hRead) {
  std::string strOut;
  char szBuf[4096];
  DWORD dwRead = 0;
  while (ReadFile(hRead, szBuf, sizeof szBuf, &dwRead, nullptr) && dwRead > 0)
    strOut.append(szBuf, dwRead);
  return strOut;
}

// The console text comes in text mode, with CR LF line ends.
std::string WithoutCr(const std::string& strText) {
  std::string strOut;
  for (size_t i = 0; i < strText.size(); ++i)
    if (!(strText[i] == '\r' && i + 1 < strText.size() &&
          strText[i + 1] == '\n'))
      strOut += strText[i];
  return strOut;
}

}  // namespace

std::string TestToolPath() {
  const char* pszTool = std::getenv("RAV_TOOL");
  return TestNativePath(pszTool == nullptr ? "" : pszTool);
}

int TestRunTool(const std::vector<std::string>& vArgs,
                const std::string& strCwd, std::string& strOutput) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE hRead = nullptr, hWrite = nullptr;
  if (!CreatePipe(&hRead, &hWrite, &sa, 0)) return -1000;
  SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = hWrite;
  si.hStdError = hWrite;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi = {};
  std::string strLine = TestCommandLine(TestToolPath(), vArgs);
  BOOL bStarted = CreateProcessA(nullptr, &strLine[0], nullptr, nullptr, TRUE,
                                 0, nullptr, strCwd.c_str(), &si, &pi);
  CloseHandle(hWrite);
  if (!bStarted) {
    CloseHandle(hRead);
    return -1000;
  }
  strOutput = WithoutCr(ReadAll(hRead));
  CloseHandle(hRead);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD dwCode = 0;
  GetExitCodeProcess(pi.hProcess, &dwCode);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return static_cast<int>(dwCode & 0xFF);
}

// ---- Runs with options ------------------------------------------------------
// The environment entries are set in this process around the run, since the
// child inherits them. The file-size limit and the timeout have no Windows
// form here (TestRunHasLimits says so).

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

// The tests run the tool as their own user.
bool TestAdminAccount(unsigned&, unsigned&) { return false; }

// The Windows tests run without a console to run the tool on.
int TestRunToolOnTerminal(const std::vector<std::string>&, const std::string&,
                          std::string&) {
  return kTestRunFailed;
}

bool TestRunHasTerminal() { return false; }
