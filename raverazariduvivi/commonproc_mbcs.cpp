#include "commonproc_mbcs.h"

#include "platform/platform.h"

namespace {

unsigned char ByteAt(const std::string& str, size_t nPos) {
  return static_cast<unsigned char>(str[nPos]);
}

// The platform's answers for single bytes, asked once: they are wanted for
// every byte of every list, and on Windows each answer is a call into the
// system.
struct ByteTables {
  bool abLead[256];
  unsigned char abLower[256];
};

ByteTables MakeByteTables() {
  ByteTables tables;
  for (unsigned nByte = 0; nByte < 256; ++nByte) {
    tables.abLead[nByte] = PlatIsLeadByte(static_cast<unsigned char>(nByte));
    tables.abLower[nByte] = static_cast<unsigned char>(PlatLowerChar(nByte));
  }
  return tables;
}

const ByteTables g_tables = MakeByteTables();

const ByteTables& Tables() { return g_tables; }

// Tells whether the character of nLen bytes at nPos is one of pszSet.
bool IsSetChar(const std::string& str, size_t nPos, size_t nLen,
               const char* pszSet) {
  if (nLen != 1) return false;
  for (const char* pSet = pszSet; *pSet != '\0'; ++pSet)
    if (*pSet == str[nPos]) return true;
  return false;
}

}  // namespace

// A byte that is no lead byte always ends a character, so characters start
// right behind the last one before nPos - 1, and the lead bytes from there
// pair up: only that run has to be looked at, not the whole string.
size_t MbPrevChar(const std::string& str, size_t nPos) {
  if (nPos == 0) return 0;
  size_t nLast = nPos - 1;
  size_t nStart = nLast;
  while (nStart > 0 && Tables().abLead[ByteAt(str, nStart - 1)]) --nStart;
  return (nLast - nStart) % 2 == 0 ? nLast : nLast - 1;
}

size_t MbFind(const std::string& strHay, const std::string& strNeedle,
              size_t nFrom) {
  if (strNeedle.empty()) return std::string::npos;
  for (size_t nPos = nFrom; nPos + strNeedle.size() <= strHay.size();
       nPos += PlatCharLen(strHay, nPos))
    if (strHay[nPos] == strNeedle[0] &&
        strHay.compare(nPos, strNeedle.size(), strNeedle) == 0)
      return nPos;
  return std::string::npos;
}

std::string MbLower(const std::string& str) {
  const ByteTables& tables = Tables();
  std::string strLower(str);
  for (size_t nPos = 0; nPos < str.size();) {
    unsigned char chByte = ByteAt(str, nPos);
    if (!tables.abLead[chByte] || nPos + 1 == str.size()) {
      strLower[nPos++] = static_cast<char>(tables.abLower[chByte]);
      continue;
    }
    // The lowered character takes as many bytes as the original, so byte
    // positions in a lowered copy stay those of the original.
    unsigned nLower = PlatLowerChar(chByte << 8 | ByteAt(str, nPos + 1));
    strLower[nPos] = static_cast<char>(nLower >> 8);
    strLower[nPos + 1] = static_cast<char>(nLower & 0xFF);
    nPos += 2;
  }
  return strLower;
}

// Lower-casing keeps the byte length, so strings of different lengths
// differ without being lowered.
bool MbEqualNoCase(const std::string& strA, const std::string& strB) {
  if (strA.size() != strB.size()) return false;
  return strA == strB || MbLower(strA) == MbLower(strB);
}

std::string MbTrim(const std::string& str, const char* pszSet) {
  size_t nStart = std::string::npos;
  size_t nEnd = 0;
  for (size_t nPos = 0; nPos < str.size();) {
    size_t nLen = PlatCharLen(str, nPos);
    if (!IsSetChar(str, nPos, nLen, pszSet)) {
      if (nStart == std::string::npos) nStart = nPos;
      nEnd = nPos + nLen;
    }
    nPos += nLen;
  }
  if (nStart == std::string::npos) return "";
  return str.substr(nStart, nEnd - nStart);
}

// The store, result and trace files are written in binary on both builds,
// so the CR LF line ends of a Windows text file are made here.
std::string TextFileLine(const std::string& strText) {
  std::string strOut;
  strOut.reserve(strText.size() + 2);
  size_t nStart = 0;
  for (size_t nLf; (nLf = strText.find('\n', nStart)) != std::string::npos;
       nStart = nLf + 1)
    strOut.append(strText, nStart, nLf - nStart).append("\r\n");
  return strOut.append(strText, nStart, std::string::npos).append("\r\n");
}
