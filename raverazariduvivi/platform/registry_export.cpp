#include "registry_export.h"

#include <vector>

#include "platform.h"
#include "profile_reader.h"

namespace {

const char kAppPathsKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
    "Paths\\TenboEnvSet.exe";

// Reads the quoted string that starts at nPos (on the opening quote) and
// moves nPos behind the closing one. "\\" is a backslash, "\"" a quote; a
// trail byte is never taken for either. False when the quote never closes.
bool ReadQuoted(const std::string& strLine, size_t& nPos, std::string& strOut) {
  strOut.clear();
  for (++nPos; nPos < strLine.size(); ++nPos) {
    char ch = strLine[nPos];
    if (ch == '"') {
      ++nPos;
      return true;
    }
    if (PlatCharLen(strLine, nPos) == 2) {
      strOut += strLine.substr(nPos++, 2);
      continue;
    }
    bool bEscape = ch == '\\' && nPos + 1 < strLine.size() &&
                   (strLine[nPos + 1] == '\\' || strLine[nPos + 1] == '"');
    strOut += bEscape ? strLine[++nPos] : ch;
  }
  return false;
}

// Parses one value line ("@=..." or "\"name\"=..."). Gives the value name
// ("" for the default) and the string data; a value that is not a string
// (dword:, hex:) comes back empty. False for a malformed line.
bool ParseValueLine(const std::string& strLine, std::string& strName,
                    std::string& strData) {
  size_t nPos = 0;
  strName.clear();
  if (strLine[0] == '@')
    nPos = 1;
  else if (!ReadQuoted(strLine, nPos, strName))
    return false;
  if (nPos >= strLine.size() || strLine[nPos] != '=') return false;
  ++nPos;
  strData.clear();
  if (nPos < strLine.size() && strLine[nPos] == '"')
    return ReadQuoted(strLine, nPos, strData);
  return true;
}

void SplitLines(const std::string& strData, std::vector<std::string>& vLines) {
  size_t nPos = 0;
  while (nPos < strData.size()) {
    size_t nEnd = strData.find_first_of("\r\n", nPos);
    if (nEnd == std::string::npos) nEnd = strData.size();
    vLines.push_back(strData.substr(nPos, nEnd - nPos));
    nPos = nEnd + (strData.compare(nEnd, 2, "\r\n") == 0 ? 2 : 1);
  }
}

}  // namespace

bool ParseRegistryExport(const std::string& strData, std::string& strDefault,
                         std::string& strVersion) {
  std::vector<std::string> vLines;
  SplitLines(strData, vLines);
  if (vLines.empty() || vLines[0] != "REGEDIT4") return false;
  bool bFound = false;
  bool bInKey = false;
  for (const std::string& strLine : vLines) {
    if (!strLine.empty() && strLine[0] == '[') {
      size_t nClose = strLine.rfind(']');
      bInKey = nClose != std::string::npos &&
               ProfileNameEquals(strLine.substr(1, nClose - 1), kAppPathsKey);
      bFound = bFound || bInKey;
      continue;
    }
    std::string strName;
    std::string strValue;
    if (!bInKey || strLine.empty() ||
        (strLine[0] != '@' && strLine[0] != '"') ||
        !ParseValueLine(strLine, strName, strValue))
      continue;
    if (strValue.size() > kMaxRegValue) strValue.clear();
    if (strName.empty() && strLine[0] == '@') strDefault = strValue;
    if (ProfileNameEquals(strName, "version")) strVersion = strValue;
  }
  return bFound;
}
