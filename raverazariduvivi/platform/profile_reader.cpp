#include "profile_reader.h"

#include <algorithm>
#include <cstring>

#include "platform.h"

namespace {

bool IsBlank(char ch) {
  unsigned char uch = static_cast<unsigned char>(ch);
  return (uch >= 0x09 && uch <= 0x0D) || uch == 0x20 || uch == 0x1A;
}

std::string Trim(const std::string& str) {
  size_t nBegin = 0;
  size_t nEnd = str.size();
  while (nBegin < nEnd && IsBlank(str[nBegin])) ++nBegin;
  while (nEnd > nBegin && IsBlank(str[nEnd - 1])) --nEnd;
  return str.substr(nBegin, nEnd - nBegin);
}

// Returns the byte length of the character at nPos; a lead byte at the end
// of the string stands alone.
size_t CharLen(const std::string& str, size_t nPos) {
  bool bLead = PlatIsLeadByte(static_cast<unsigned char>(str[nPos]));
  return bLead && nPos + 1 < str.size() ? 2 : 1;
}

// Returns the position of the last "]" that is a character of its own.
size_t LastCloseBracket(const std::string& strLine) {
  size_t nLast = std::string::npos;
  for (size_t nPos = 0; nPos < strLine.size(); nPos += CharLen(strLine, nPos))
    if (strLine[nPos] == ']') nLast = nPos;
  return nLast;
}

char FoldAscii(char ch) { return ch >= 'A' && ch <= 'Z' ? ch + 0x20 : ch; }

// Finds the raw value of the key; false when the section or the key is
// missing or the key has no "=".
bool FindValue(const std::string& strData, const char* pszSection,
               const char* pszKey, std::string& strValue) {
  bool bInSection = ProfileNameEquals("", pszSection);
  size_t nPos = 0;
  while (nPos < strData.size()) {
    size_t nEnd = std::min(strData.find_first_of("\r\n", nPos), strData.size());
    std::string strLine = Trim(strData.substr(nPos, nEnd - nPos));
    nPos = std::min(strData.find_first_not_of("\r\n", nEnd), strData.size());
    size_t nClose = strLine.empty() || strLine[0] != '['
                        ? std::string::npos
                        : LastCloseBracket(strLine);
    if (nClose != std::string::npos) {
      if (bInSection) return false;
      bInSection =
          ProfileNameEquals(Trim(strLine.substr(1, nClose - 1)), pszSection);
      continue;
    }
    if (!bInSection || strLine.empty()) continue;
    size_t nEqual = strLine.find('=');
    if (!ProfileNameEquals(Trim(strLine.substr(0, nEqual)), pszKey)) continue;
    if (nEqual == std::string::npos) return false;
    strValue = Trim(strLine.substr(nEqual + 1));
    return true;
  }
  return false;
}

// Cuts the value at a NUL, removes one pair of matching quotes and stores
// what fits.
unsigned StoreValue(const std::string& strRaw, char* pBuffer, unsigned nSize) {
  std::string strValue = strRaw.substr(0, strRaw.find('\0'));
  if (strValue.size() >= 2 && (strValue[0] == '"' || strValue[0] == '\'') &&
      strValue.back() == strValue[0])
    strValue = strValue.substr(1, strValue.size() - 2);
  size_t nCount = std::min<size_t>(strValue.size(), nSize - 1);
  std::memcpy(pBuffer, strValue.data(), nCount);
  pBuffer[nCount] = '\0';
  return static_cast<unsigned>(nCount);
}

}  // namespace

unsigned ProfileGetString(const std::string& strData, const char* pszSection,
                          const char* pszKey, const char* pszDefault,
                          char* pBuffer, unsigned nSize) {
  if (pBuffer == nullptr || nSize == 0) return 0;
  std::string strValue;
  if (!FindValue(strData, pszSection, pszKey, strValue)) {
    strValue = pszDefault != nullptr ? pszDefault : "";
    strValue.erase(strValue.find_last_not_of(' ') + 1);
  }
  return StoreValue(strValue, pBuffer, nSize);
}

// Compares character by character; only single-byte letters fold, so a
// trail byte that happens to be a letter must match exactly.
bool ProfileNameEquals(const std::string& strName, const char* pszName) {
  std::string strA = strName.substr(0, strName.find('\0'));
  std::string strB = pszName;
  if (strA.size() != strB.size()) return false;
  for (size_t nPos = 0; nPos < strA.size();) {
    size_t nLen = CharLen(strA, nPos);
    if (nLen == 1 && FoldAscii(strA[nPos]) != FoldAscii(strB[nPos]))
      return false;
    if (nLen == 2 && strA.compare(nPos, 2, strB, nPos, 2) != 0) return false;
    nPos += nLen;
  }
  return true;
}
