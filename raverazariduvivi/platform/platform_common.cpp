// The parts of the platform layer that the C library already makes portable.
#include <ctime>

#include "platform.h"

std::string PlatFormatLocalTime(const char* pszFormat) {
  std::time_t tNow = std::time(nullptr);
  if (tNow == static_cast<std::time_t>(-1)) return "";
  // std::localtime's static result is safe here: the tool runs on one thread.
  const std::tm* pTm = std::localtime(&tNow);
  if (pTm == nullptr) return "";
  char szBuf[256];
  size_t nLen = std::strftime(szBuf, sizeof szBuf, pszFormat, pTm);
  return std::string(szBuf, nLen);
}
