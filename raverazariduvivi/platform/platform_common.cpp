// The parts of the platform layer that both backends share or that the C
// library already makes portable.
#include <ctime>

#include "platform.h"
#include "platform_internal.h"

namespace {

// The last failed system call; the tool runs on one thread.
std::string g_strLastError;

struct LeadTable {
  bool abLead[256];
};

// The backend's lead bytes, asked once: the rule is wanted for every byte
// of every list, and on Windows each answer is a call into the system.
LeadTable MakeLeadTable() {
  LeadTable table;
  for (unsigned nByte = 0; nByte < 256; ++nByte)
    table.abLead[nByte] = PlatIsLeadByte(static_cast<unsigned char>(nByte));
  return table;
}

}  // namespace

void PlatRecordError(const char* pszCall, const std::string& strPath,
                     const std::string& strError) {
  g_strLastError = std::string(pszCall) + "(" + strPath + "): " + strError;
}

std::string PlatLastError() { return g_strLastError; }

size_t PlatCharLen(std::string_view str, size_t nPos) {
  static const LeadTable table = MakeLeadTable();
  return nPos + 1 < str.size() &&
                 table.abLead[static_cast<unsigned char>(str[nPos])]
             ? 2
             : 1;
}

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
