#include "testrun.h"

std::string TestCommandLine(const std::string& strExe,
                            const std::vector<std::string>& vArgs) {
  std::string strLine = strExe;
  for (const std::string& strArg : vArgs) {
    bool bQuote =
        strArg.empty() || strArg.find_first_of(" \t") != std::string::npos;
    strLine += bQuote ? " \"" + strArg + "\"" : " " + strArg;
  }
  return strLine;
}
