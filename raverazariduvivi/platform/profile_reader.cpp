#include "profile_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform.h"

namespace {

// Lines, names and values are looked at in place, as views of the profile
// text: the reader is asked for several keys of every Folder.ini of a run.
using View = std::string_view;

bool IsBlank(char ch) {
  unsigned char uch = static_cast<unsigned char>(ch);
  return (uch >= 0x09 && uch <= 0x0D) || uch == 0x20 || uch == 0x1A;
}

View Trim(View str) {
  while (!str.empty() && IsBlank(str.front())) str.remove_prefix(1);
  while (!str.empty() && IsBlank(str.back())) str.remove_suffix(1);
  return str;
}

// The Windows reader trims only spaces from the arguments, unlike the
// names in the file.
View TrimSpaces(const char* psz) {
  View str = psz;
  size_t nBegin = str.find_first_not_of(' ');
  if (nBegin == View::npos) return View();
  return str.substr(nBegin, str.find_last_not_of(' ') + 1 - nBegin);
}

// Returns the position of the first ch that is a character of its own, or
// npos: a trail byte equal to ch does not count.
size_t FindChar(View str, char ch) {
  for (size_t nPos = 0; nPos < str.size(); nPos += PlatCharLen(str, nPos))
    if (str[nPos] == ch) return nPos;
  return View::npos;
}

char FoldAscii(char ch) { return ch >= 'A' && ch <= 'Z' ? ch + 0x20 : ch; }

// Compares character by character; only single-byte letters fold, so a
// trail byte that happens to be a letter must match exactly. A stored name
// ends at a NUL.
bool NameEquals(View strName, View strWanted) {
  strName = strName.substr(0, strName.find('\0'));
  if (strName.size() != strWanted.size()) return false;
  for (size_t nPos = 0; nPos < strName.size();) {
    size_t nLen = PlatCharLen(strName, nPos);
    if (nLen == 1 && FoldAscii(strName[nPos]) != FoldAscii(strWanted[nPos]))
      return false;
    if (nLen == 2 && strName.compare(nPos, 2, strWanted, nPos, 2) != 0)
      return false;
    nPos += nLen;
  }
  return true;
}

// Returns the next line, trimmed, and moves nPos past its line end.
View NextLine(View strData, size_t& nPos) {
  auto fnLineEnd = [&strData](size_t n) {
    return strData[n] == '\r' || strData[n] == '\n';
  };
  size_t nEnd = nPos;
  while (nEnd < strData.size() && !fnLineEnd(nEnd)) ++nEnd;
  View strLine = Trim(strData.substr(nPos, nEnd - nPos));
  for (nPos = nEnd; nPos < strData.size() && fnLineEnd(nPos);) ++nPos;
  return strLine;
}

// Takes the section name of a header line; false for any other line. The
// name ends at the first "]", or at the line end when there is none.
bool ParseHeader(View strLine, View& strName) {
  if (strLine.empty() || strLine[0] != '[') return false;
  View strRest = strLine.substr(1);
  strName = Trim(strRest.substr(0, FindChar(strRest, ']')));
  return true;
}

// Takes the name and the raw value of a key line; false for a comment or a
// line without "=".
bool ParseKey(View strLine, View& strName, View& strValue) {
  if (strLine.empty() || strLine[0] == ';') return false;
  size_t nEqual = FindChar(strLine, '=');
  if (nEqual == View::npos) return false;
  strName = Trim(strLine.substr(0, nEqual));
  strValue = Trim(strLine.substr(nEqual + 1));
  return true;
}

// Finds the raw value of the key in the first section of the name; false
// when the section or the key is missing. Lines above the first header are
// in no section.
bool FindValue(View strData, View strSection, View strKey, View& strValue) {
  bool bInSection = false;
  for (size_t nPos = 0; nPos < strData.size();) {
    View strLine = NextLine(strData, nPos);
    View strName;
    View strRaw;
    if (ParseHeader(strLine, strName)) {
      if (bInSection) return false;
      bInSection = NameEquals(strName, strSection);
    } else if (bInSection && ParseKey(strLine, strName, strRaw) &&
               NameEquals(strName, strKey)) {
      strValue = strRaw;
      return true;
    }
  }
  return false;
}

// Cuts the value at a NUL and removes one pair of matching quotes.
View Unquote(View strRaw) {
  View strValue = strRaw.substr(0, strRaw.find('\0'));
  if (strValue.size() >= 2 && (strValue[0] == '"' || strValue[0] == '\'') &&
      strValue.back() == strValue[0])
    return strValue.substr(1, strValue.size() - 2);
  return strValue;
}

// Stores what fits of str and a NUL; nSize is at least 1.
unsigned Store(View str, char* pBuffer, unsigned nSize) {
  size_t nCount = std::min<size_t>(str.size(), nSize - 1);
  std::memcpy(pBuffer, str.data(), nCount);
  pBuffer[nCount] = '\0';
  return static_cast<unsigned>(nCount);
}

}  // namespace

unsigned ProfileGetString(const std::string& strData, const char* pszSection,
                          const char* pszKey, const char* pszDefault,
                          char* pBuffer, unsigned nSize) {
  if (pBuffer == nullptr || nSize == 0) return 0;
  View strValue;
  if (FindValue(strData, TrimSpaces(pszSection), TrimSpaces(pszKey), strValue))
    return Store(Unquote(strValue), pBuffer, nSize);
  std::string strDefault = pszDefault != nullptr ? pszDefault : "";
  strDefault.erase(strDefault.find_last_not_of(' ') + 1);
  return Store(strDefault, pBuffer, nSize);
}

bool ProfileNameEquals(const std::string& strName, const char* pszName) {
  return NameEquals(strName, pszName);
}
