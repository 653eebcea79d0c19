// Fuzz target of the REGEDIT4 export reader (registry_export.h).
//
// Input: the bytes of the export file. Checked, beside crashes and undefined
// behaviour: no value over 259 bytes; a file without the key leaves both
// values alone; the answer is the same when asked again; and the parse is
// idempotent: the values written back as a plain export of the key read
// back as the same values.
#include "platform/registry_export.h"

#include "fuzz_util.h"

namespace {

const char kStale[] = "\x01stale";

// Quotes a value as an export does: a backslash or a quote that is a
// character of its own gets a backslash; a trail byte stays as it is.
std::string Quoted(const std::string& strValue) {
  std::string strOut = "\"";
  for (const std::string& strChar : CharsOf(strValue)) {
    if (strChar == "\\" || strChar == "\"") strOut += '\\';
    strOut += strChar;
  }
  return strOut + "\"";
}

std::string PlainExport(const std::string& strDefault,
                        const std::string& strVersion) {
  return "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
         "CurrentVersion\\App Paths\\TenboEnvSet.exe]\r\n@=" +
         Quoted(strDefault) + "\r\n\"version\"=" + Quoted(strVersion) + "\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string strData(reinterpret_cast<const char*>(pData), nSize);
  std::string strDefault;
  std::string strVersion;
  bool bFound = ParseRegistryExport(strData, strDefault, strVersion);
  FUZZ_CHECK(strDefault.size() <= kMaxRegValue);
  FUZZ_CHECK(strVersion.size() <= kMaxRegValue);
  std::string strDefault2 = kStale;
  std::string strVersion2 = kStale;
  FUZZ_CHECK(ParseRegistryExport(strData, strDefault2, strVersion2) == bFound);
  if (!bFound) {
    FUZZ_CHECK(strDefault2 == kStale && strVersion2 == kStale);
    return 0;
  }
  // A value that no line sets stays as it was.
  FUZZ_CHECK(strDefault2 == strDefault ||
             (strDefault.empty() && strDefault2 == kStale));
  FUZZ_CHECK(strVersion2 == strVersion ||
             (strVersion.empty() && strVersion2 == kStale));
  std::string strDefault3;
  std::string strVersion3;
  FUZZ_CHECK(ParseRegistryExport(PlainExport(strDefault, strVersion),
                                 strDefault3, strVersion3));
  FUZZ_CHECK(strDefault3 == strDefault);
  FUZZ_CHECK(strVersion3 == strVersion);
  return 0;
}
