#include "commonproc_mbcs.h"

#include <cstring>

#include "platform/platform.h"

namespace {

unsigned char ByteAt(const std::string& str, size_t nPos) {
  return static_cast<unsigned char>(str[nPos]);
}

// Tells whether the character of nLen bytes at nPos is one of pszSet.
bool IsSetChar(const std::string& str, size_t nPos, size_t nLen,
               const char* pszSet) {
  return nLen == 1 && str[nPos] != '\0' &&
         std::strchr(pszSet, str[nPos]) != nullptr;
}

}  // namespace

size_t MbCharLen(const std::string& str, size_t nPos) {
  if (nPos + 1 < str.size() && PlatIsLeadByte(ByteAt(str, nPos))) return 2;
  return 1;
}

size_t MbPrevChar(const std::string& str, size_t nPos) {
  size_t nPrev = 0;
  for (size_t nCur = 0; nCur < nPos; nCur += MbCharLen(str, nCur)) nPrev = nCur;
  return nPrev;
}

size_t MbFind(const std::string& strHay, const std::string& strNeedle,
              size_t nFrom) {
  if (strNeedle.empty()) return std::string::npos;
  for (size_t nPos = nFrom; nPos + strNeedle.size() <= strHay.size();
       nPos += MbCharLen(strHay, nPos))
    if (strHay.compare(nPos, strNeedle.size(), strNeedle) == 0) return nPos;
  return std::string::npos;
}

std::string MbLower(const std::string& str) {
  std::string strLower;
  strLower.reserve(str.size());
  for (size_t nPos = 0; nPos < str.size();) {
    size_t nLen = MbCharLen(str, nPos);
    unsigned nChar = ByteAt(str, nPos);
    if (nLen == 2) nChar = nChar << 8 | ByteAt(str, nPos + 1);
    // The lowered character takes as many bytes as the original, so byte
    // positions in a lowered copy stay those of the original.
    unsigned nLower = PlatLowerChar(nChar);
    if (nLen == 2) strLower += static_cast<char>(nLower >> 8);
    strLower += static_cast<char>(nLower & 0xFF);
    nPos += nLen;
  }
  return strLower;
}

bool MbEqualNoCase(const std::string& strA, const std::string& strB) {
  return MbLower(strA) == MbLower(strB);
}

std::string MbTrim(const std::string& str, const char* pszSet) {
  size_t nStart = std::string::npos;
  size_t nEnd = 0;
  for (size_t nPos = 0; nPos < str.size();) {
    size_t nLen = MbCharLen(str, nPos);
    if (!IsSetChar(str, nPos, nLen, pszSet)) {
      if (nStart == std::string::npos) nStart = nPos;
      nEnd = nPos + nLen;
    }
    nPos += nLen;
  }
  if (nStart == std::string::npos) return "";
  return str.substr(nStart, nEnd - nStart);
}
