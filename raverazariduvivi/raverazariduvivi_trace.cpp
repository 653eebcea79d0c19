#include "raverazariduvivi_trace.h"

#include "commonproc_mbcs.h"
#include "platform/platform.h"

int g_bTraceLog = 0;
std::string g_szTraceLogPath;

namespace {

// Appends one line "time,file:line,function,payload" to the trace file.
void WriteTraceLine(const char* pszFunc, const char* pszFile, int nLine,
                    const std::string& strPayload) {
  std::string strLine = PlatFormatLocalTime("%Y/%m/%d %H:%M:%S") + "," +
                        TraceFileName(pszFile) + ":" + std::to_string(nLine) +
                        "," + pszFunc + "," + strPayload;
  PlatFileHandle pFile = PlatOpenAppend(g_szTraceLogPath);
  if (pFile == nullptr) return;
  // A line that cannot be written is lost; the caller never hears of it, so
  // the owner's close at the end of the scope is enough.
  static_cast<void>(PlatWrite(pFile.get(), TextFileLine(strLine)));
}

}  // namespace

void TraceLog(const char* pszFunc, const char* pszFile, int nLine,
              const std::string& strMsg) {
  if (g_bTraceLog != 1 || strMsg.empty()) return;
  WriteTraceLine(pszFunc, pszFile, nLine, strMsg);
}

void TraceLogError(const char* pszFunc, const char* pszFile, int nLine,
                   const std::string& strMsg) {
  if (g_bTraceLog != 1 || strMsg.empty()) return;
  WriteTraceLine(pszFunc, pszFile, nLine, strMsg + " " + PlatLastError());
}

void TraceLogValue(const char* pszFunc, const char* pszFile, int nLine,
                   const std::string& strName, const std::string& strValue) {
  if (g_bTraceLog != 1 || strName.empty()) return;
  WriteTraceLine(pszFunc, pszFile, nLine, strName + "=" + strValue);
}

void TraceLogInt(const char* pszFunc, const char* pszFile, int nLine,
                 const std::string& strName, int nValue) {
  if (g_bTraceLog != 1 || strName.empty()) return;
  WriteTraceLine(pszFunc, pszFile, nLine,
                 strName + "=" + std::to_string(nValue));
}

std::string TraceFileName(const char* pszFile) {
  std::string strPath = pszFile;
  size_t nName = 0;
  for (size_t nPos = 0; nPos < strPath.size();) {
    size_t nLen = PlatCharLen(strPath, nPos);
    if (nLen == 1 && (strPath[nPos] == '\\' || strPath[nPos] == '/'))
      nName = nPos + 1;
    nPos += nLen;
  }
  return strPath.substr(nName);
}
