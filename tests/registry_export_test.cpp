// Tests of the REGEDIT4 export reader, the registry's stand-in on POSIX; it
// is portable, so both builds run them.
#include "platform/registry_export.h"

#include <gtest/gtest.h>

namespace {

const std::string kKey =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
    "App Paths\\TenboEnvSet.exe]";
const std::string kOddKey =
    "[hkey_local_machine\\software\\microsoft\\windows\\currentversion\\"
    "app paths\\TENBOENVSET.EXE]";
const char kStale[] = "stale";

TEST(RegistryExport, ReadsTheAppPathsValues) {
  const std::string strLong(kMaxRegValue, 'x');
  struct {
    std::string strText;
    bool bFound;
    std::string strExe, strVersion;  // kStale: left alone
  } const aCases[] = {
      {"REGEDIT4\r" + kOddKey + "\r@=\"/opt/t\"\r\"Version\"=\"V60\"\r", true,
       "/opt/t", "V60"},
      {"REGEDIT4\n[Other]\n@=\"/no\"\n" + kKey +
           "\n\"version\"=dword:00000001\n@=\"/opt/t\"\n[Other]\n@=\"/no\"\n",
       true, "/opt/t", ""},
      {"REGEDIT4\r\n[Other]\r\n@=\"/opt/t\"\r\n", false, kStale, kStale},
      {"Windows Registry Editor Version 5.00\r\n" + kKey + "\r\n@=\"/x\"\r\n",
       false, kStale, kStale},
      {"", false, kStale, kStale},
      {"REGEDIT4\r\n" + kKey + "\r\n", true, kStale, kStale},
      // Escapes; a trail byte 0x5C (ソ, 表) is no escape.
      {"REGEDIT4\n" + kKey + "\n@=\"C:\\\\ソ\\表\\\"q\\x\"\n", true,
       "C:\\ソ\\表\"q\\x", kStale},
      // The last line wins, the key may come twice, bare text reads as "".
      {"REGEDIT4\n" + kKey + "\n@=\"/a\"\n[B]\n" + kKey + "\n@=\"/b\"tail\n",
       true, "/b", kStale},
      {"REGEDIT4\n" + kKey + "\n\"version\"=\"V1\"\n\"version\"=V2\n", true,
       kStale, ""},
      // An open quote drops its line; so does a name without "=".
      {"REGEDIT4\n" + kKey + "\n@=\"/a\"\n@=\"/open\n\"version\"\n", true, "/a",
       kStale},
      {"REGEDIT4\n" + kKey + "\n@=\"" + strLong + "\"\n\"version\"=\"" +
           strLong + "v\"\n",
       true, strLong, ""},
      // A NUL cuts the key name; a key line without "]" names no key.
      {"REGEDIT4\n" + kKey.substr(0, kKey.size() - 1) + std::string(1, '\0') +
           "x]\n@=\"/n\"\n",
       true, "/n", kStale},
      {"REGEDIT4\n" + kKey.substr(0, kKey.size() - 1) + "\n@=\"/n\"\n", false,
       kStale, kStale},
  };
  for (const auto& row : aCases) {
    std::string strExe = kStale;
    std::string strVersion = kStale;
    EXPECT_EQ(ParseRegistryExport(row.strText, strExe, strVersion), row.bFound)
        << row.strText;
    EXPECT_EQ(strExe, row.strExe) << row.strText;
    EXPECT_EQ(strVersion, row.strVersion) << row.strText;
  }
}

}  // namespace
