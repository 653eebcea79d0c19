// Helpers shared by the fuzz targets: the input cut into fields, a check
// that stops the run, and the CP932 character walk written out on the
// platform's lead-byte test alone, apart from commonproc_mbcs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

// Ends the run when a property does not hold; libFuzzer keeps the input
// that broke it as a crash file.
inline void FuzzCheck(bool bHolds, const char* pszWhat, int nLine) {
  if (bHolds) return;
  std::fprintf(stderr, "property broken at line %d: %s\n", nLine, pszWhat);
  std::abort();
}
#define FUZZ_CHECK(cond) FuzzCheck((cond), #cond, __LINE__)

// Cuts the input at the byte 0xFF, which CP932 never uses, into nCount
// fields; the last one takes the rest (0xFF included), missing ones are "".
inline std::vector<std::string> FuzzFields(const uint8_t* pData, size_t nSize,
                                           size_t nCount) {
  std::vector<std::string> vFields(nCount);
  size_t nField = 0;
  for (size_t nPos = 0; nPos < nSize; ++nPos) {
    if (pData[nPos] == 0xFF && nField + 1 < nCount)
      ++nField;
    else
      vFields[nField] += static_cast<char>(pData[nPos]);
  }
  return vFields;
}

inline bool IsLead(char ch) {
  return PlatIsLeadByte(static_cast<unsigned char>(ch));
}

// Returns the characters of str: a lead byte with the byte after it, or one
// byte (also a lead byte at the very end).
inline std::vector<std::string> CharsOf(const std::string& str) {
  std::vector<std::string> vChars;
  vChars.reserve(str.size());
  for (size_t nPos = 0; nPos < str.size();) {
    size_t nLen = IsLead(str[nPos]) && nPos + 1 < str.size() ? 2 : 1;
    vChars.push_back(str.substr(nPos, nLen));
    nPos += nLen;
  }
  return vChars;
}

// Tells whether str ends in a lead byte that has no byte to pair with.
inline bool EndsInLoneLead(const std::string& str) {
  std::vector<std::string> vChars = CharsOf(str);
  return !vChars.empty() && vChars.back().size() == 1 &&
         IsLead(vChars.back()[0]);
}

// Tells whether str is CP932 text: every lead byte has a trail byte
// (0x40-0x7E or 0x80-0xFC) after it.
inline bool IsWholeCp932(const std::string& str) {
  for (const std::string& strChar : CharsOf(str)) {
    if (!IsLead(strChar[0])) continue;
    if (strChar.size() < 2) return false;
    unsigned char chTrail = static_cast<unsigned char>(strChar[1]);
    if (chTrail < 0x40 || chTrail == 0x7F || chTrail > 0xFC) return false;
  }
  return true;
}
