// Tests of the backup file's encoding, its parser and the undo's path check;
// the unit is pure, so both builds run them.
#include "backupfile.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

BackupEntry Entry(const std::string& strLibrary, const std::string& strCabinet,
                  bool bBefore, const std::string& strBefore, bool bAfter,
                  const std::string& strAfter) {
  return {strLibrary, strCabinet, "/d/" + strLibrary + "/" + strCabinet,
          bBefore,    strBefore,  bAfter,
          strAfter};
}

// Payloads that hold every byte the format must carry: line ends, NUL, a
// trail byte 0x5C, the format's own keywords, a lone lead byte.
const std::vector<BackupEntry> kEntries = {
    Entry("Sales", "CabA", true, "[ReadUserInfo]\r\nUserNameList=a,\r\n", true,
          "[ReadUserInfo]\r\nUserNameList=a,b,\r\n"),
    Entry("ソ", "表", true, "x\ry\nz\0\r\n\\ソ"s, true, "end\r\nentry\r\n"),
    Entry("L", "C", false, "", true, ""),
    Entry("L", "C", true, "", false, ""),
    Entry("L", "C", false, "", false, ""),
    Entry("L", "C", true, "RAVBACKUP 1\r\ndata=/x\r\n", true, "\x81"),
};

const std::vector<BackupRun> kRuns = {
    {"/d", {kEntries[0], kEntries[1], kEntries[2]}},
    {"/d", {}},
    {"C:\\ソ data", {kEntries[3], kEntries[4], kEntries[5]}},
};

// The file of the runs, and the offset behind each header and entry.
std::string FileOf(const std::vector<BackupRun>& vRuns,
                   std::vector<size_t>* pvEnds = nullptr) {
  std::string strFile;
  for (const BackupRun& run : vRuns) {
    strFile += BackupHeader(run.strDataPath);
    if (pvEnds) pvEnds->push_back(strFile.size());
    for (const BackupEntry& entry : run.vEntries) {
      strFile += BackupEntryBytes(entry);
      if (pvEnds) pvEnds->push_back(strFile.size());
    }
  }
  return strFile;
}

// The runs as far as the first nItems headers and entries.
std::vector<BackupRun> FirstItems(const std::vector<BackupRun>& vRuns,
                                  size_t nItems) {
  std::vector<BackupRun> vOut;
  for (const BackupRun& run : vRuns) {
    if (nItems-- == 0) break;
    vOut.push_back({run.strDataPath, {}});
    for (size_t n = 0; n < run.vEntries.size() && nItems > 0; ++n, --nItems)
      vOut.back().vEntries.push_back(run.vEntries[n]);
  }
  return vOut;
}

void ExpectRuns(const std::vector<BackupRun>& vGot,
                const std::vector<BackupRun>& vWant, const std::string& strAt) {
  ASSERT_EQ(vGot.size(), vWant.size()) << strAt;
  for (size_t nRun = 0; nRun < vGot.size(); ++nRun) {
    const BackupRun& got = vGot[nRun];
    EXPECT_EQ(got.strDataPath, vWant[nRun].strDataPath) << strAt;
    ASSERT_EQ(got.vEntries.size(), vWant[nRun].vEntries.size()) << strAt;
    for (size_t n = 0; n < got.vEntries.size(); ++n) {
      const BackupEntry& a = got.vEntries[n];
      const BackupEntry& b = vWant[nRun].vEntries[n];
      EXPECT_TRUE(a.strLibrary == b.strLibrary &&
                  a.strCabinet == b.strCabinet && a.strPath == b.strPath &&
                  a.bBefore == b.bBefore && a.strBefore == b.strBefore &&
                  a.bAfter == b.bAfter && a.strAfter == b.strAfter)
          << strAt << " run " << nRun << " entry " << n;
    }
  }
}

// The example of docs/backup-format.md, then an entry with a NUL, an empty
// payload and a trail byte 0x5C in every field.
TEST(BackupFile, WritesTheDocumentedBytes) {
  EXPECT_EQ(
      BackupHeader("C:\\Data") +
          BackupEntryBytes({"ソ", "CabA", "C:\\Data\\ソ\\CabA", false, "", true,
                            "[ReadUserInfo]\r\nUserNameList=a,\r\n"}) +
          BackupEntryBytes(
              {"ソ", "表", "C:\\Data\\ソ\\表", true, "a\r\n\0"s, true, ""}),
      "RAVBACKUP 1\r\ndata=C:\\Data\r\n"
      "entry\r\nlibrary=\x83\x5C\r\ncabinet=CabA\r\n"
      "path=C:\\Data\\\x83\x5C\\CabA\r\n"
      "before=none\r\nafter=33\r\n"
      "[ReadUserInfo]\r\nUserNameList=a,\r\n\r\nend\r\n"
      "entry\r\nlibrary=\x83\\\r\ncabinet=\x95\\\r\n"
      "path=C:\\Data\\\x83\\\\\x95\\\r\n"
      "before=4\r\na\r\n\0\r\nafter=0\r\n\r\nend\r\n"s);
}

TEST(BackupFile, RefusesToWriteLineEndsInFields) {
  EXPECT_EQ(BackupHeader("/d\r"), "");
  EXPECT_EQ(BackupHeader("/d\nx"), "");
  for (BackupEntry entry : {Entry("a\nb", "C", false, "", false, ""),
                            Entry("L", "C\r", false, "", false, "")})
    EXPECT_EQ(BackupEntryBytes(entry), "") << entry.strPath;
}

// Every prefix of a file of two runs: the headers and entries it holds
// whole are read back, a cut one is dropped (2), and a cut inside the first
// header leaves no file (-1). Re-encoding what was read gives back exactly
// the whole part.
TEST(BackupFile, ReadsEveryPrefixBackWhole) {
  std::vector<size_t> vEnds;
  const std::string strFile = FileOf(kRuns, &vEnds);
  for (size_t nCut = 0; nCut <= strFile.size(); ++nCut) {
    size_t nWhole = 0;
    while (nWhole < vEnds.size() && vEnds[nWhole] <= nCut) ++nWhole;
    bool bAtEnd = nWhole > 0 && vEnds[nWhole - 1] == nCut;
    std::vector<BackupRun> vRuns = {{"stale", {}}};
    int nRet = ParseBackupFile(strFile.substr(0, nCut), vRuns);
    std::string strAt = "cut at " + std::to_string(nCut);
    EXPECT_EQ(nRet, nWhole == 0 ? -1 : bAtEnd ? 1 : 2) << strAt;
    ExpectRuns(vRuns, FirstItems(kRuns, nWhole), strAt);
    EXPECT_EQ(FileOf(vRuns), strFile.substr(0, nWhole ? vEnds[nWhole - 1] : 0))
        << strAt;
  }
}

TEST(BackupFile, RefusesDamage) {
  const std::string strHead = "RAVBACKUP 1\r\ndata=/d\r\n";
  const std::string strGood = BackupEntryBytes(kEntries[0]);
  const std::string strNames = "entry\r\nlibrary=L\r\ncabinet=C\r\npath=/p\r\n";
  const std::string strNone = "before=none\r\nafter=none\r\n";
  const std::string aFiles[] = {
      "",
      "\r\n" + strHead,
      "RAVBACKUP 2\r\ndata=/d\r\n",
      "RAVBACKUP 10\r\ndata=/d\r\n",
      "ravbackup 1\r\ndata=/d\r\n",
      "RAVBACKUP 1\ndata=/d\n",
      "RAVBACKUP 1\r\ndata=/d\r\nRAVBACKUP 2\r\ndata=/d\r\n",
      // A cut entry or header followed by more.
      strHead + strGood.substr(0, 40) + strGood,
      strHead + strGood.substr(0, strGood.size() - 1) + strHead,
      strHead + strHead.substr(0, 8) + strGood,
      // Counts that are no plain decimal, or too large even at the end.
      strHead + strNames + "before=12a\r\n",
      strHead + strNames + "before=+1\r\nx\r\n" + "after=none\r\nend\r\n",
      strHead + strNames + "before= 1\r\nx\r\nafter=none\r\nend\r\n",
      strHead + strNames + "before=01\r\nx\r\nafter=none\r\nend\r\n",
      strHead + strNames + "before=\r\n\r\nafter=none\r\nend\r\n",
      strHead + strNames + "before=NONE\r\nafter=none\r\nend\r\n",
      strHead + strNames + "before=nonex",
      strHead + strNames + "before=99999999999999999999\r\n",
      strHead + strNames + "before=18446744073709551617\r\nx\r\n",
      strHead + strNames + "before=1073741825\r\n",
      // A count that does not match its bytes.
      strHead + strNames + "before=2\r\nabc\r\nafter=none\r\nend\r\n",
      strHead + strNames + "before=4\r\nabc\r\nafter=none\r\nend\r\n",
      // A missing or misspelt end, fields out of order or unknown.
      strHead + strNames + strNone + strGood,
      strHead + strNames + strNone + "END\r\n",
      strHead + strNames + strNone + "end\r\n\r\n",
      strHead + "entry\r\ncabinet=C\r\nlibrary=L\r\npath=/p\r\n" + strNone +
          "end\r\n",
      strHead + "entry\r\nlibrary=L\r\ncabinet=C\r\npath=/p\r\nx=1\r\n",
      // CR or LF inside a field.
      strHead + "entry\r\nlibrary=a\rb\r\n",
      strHead + "entry\r\nlibrary=a\nb\r\n",
      "RAVBACKUP 1\r\ndata=/d\rx\r\n",
      strHead + strNames + "before=1\r\nxx\n",
  };
  for (const std::string& strFile : aFiles) {
    std::vector<BackupRun> vRuns = {{"stale", {}}};
    EXPECT_EQ(ParseBackupFile(strFile, vRuns), -1) << strFile;
    EXPECT_TRUE(vRuns.empty()) << strFile;
  }
}

// A count beyond the end is what a run killed while writing the bytes
// leaves; up to the maximum it is a cut, never an allocation.
TEST(BackupFile, DropsACountBeyondTheEnd) {
  const std::string strFile = BackupHeader("/d") +
                              BackupEntryBytes(kEntries[0]) +
                              "entry\r\nlibrary=L\r\ncabinet=C\r\npath=/p\r\n";
  for (const char* pszCount : {"100", "1073741824"}) {
    std::vector<BackupRun> vRuns;
    EXPECT_EQ(
        ParseBackupFile(strFile + "before=" + pszCount + "\r\nabc", vRuns), 2)
        << pszCount;
    ExpectRuns(vRuns, {{"/d", {kEntries[0]}}}, pszCount);
  }
}

TEST(BackupFile, ChecksTheEntryLiesInTheDataFolder) {
  const struct {
    const char *pszLibrary, *pszCabinet, *pszPath, *pszData;
    char chSeparator;
    bool bInside;
  } kCases[] = {
      {"Sales", "CabA", "C:\\Data\\Sales\\CabA", "C:\\Data", '\\', true},
      {"Sales", "CabA", "/d/Sales/CabA", "/d", '/', true},
      {"ソ", "表", "C:\\Data\\ソ\\表", "C:\\Data", '\\', true},
      {"ソ", "表", "C:\\ソ\\ソ\\表", "C:\\ソ", '\\', true},
      {"Sales", "CabA", "/d/Sales/CabA", "/d", '\\', false},
      {"Sales", "CabA", "/d/Sales/CabA", "/e", '/', false},
      {"Sales", "CabA", "/d/Sales/CabA", "/d/", '/', false},
      {"Sales", "CabA", "/d/Sales/CabA", "", '/', false},
      {"Sales", "CabA", "/d2/Sales/CabA", "/d", '/', false},
      {"Sales", "CabA", "/d/sales/CabA", "/d", '/', false},
      {"Sales", "CabA", "/d/Sales/CabA/x", "/d", '/', false},
      {"Sales", "CabA", "/d/x/Sales/CabA", "/d", '/', false},
      {"Sales", "CabA", "/d/Sales//CabA", "/d", '/', false},
      {"..", "CabA", "/d/../CabA", "/d", '/', false},
      {"Sales", "..", "/d/Sales/..", "/d", '/', false},
      {".", "CabA", "/d/./CabA", "/d", '/', false},
      {"", "CabA", "/d//CabA", "/d", '/', false},
      {"Sales", "", "/d/Sales/", "/d", '/', false},
      {"a/b", "CabA", "/d/a/b/CabA", "/d", '/', false},
      {"a", "b/CabA", "/d/a/b/CabA", "/d", '/', false},
      {"a\\b", "CabA", "C:\\d\\a\\b\\CabA", "C:\\d", '\\', false},
      {"C:", "CabA", "C:\\d\\C:\\CabA", "C:\\d", '\\', false},
      {"Sales", "x:y", "C:\\d\\Sales\\x:y", "C:\\d", '\\', false},
      // A lead byte with its trail byte missing would take the separator
      // behind it for that trail byte.
      {"\x83", "CabA", "C:\\d\\\x83\\CabA", "C:\\d", '\\', false},
      {"Sales", "A\x95", "/d/Sales/A\x95", "/d", '/', false},
      {"Sales", "CabA", "C:\\d\x83\\Sales\\CabA", "C:\\d\x83", '\\', false},
  };
  for (const auto& c : kCases) {
    BackupEntry entry{c.pszLibrary, c.pszCabinet, c.pszPath, false,
                      "",           false,        ""};
    EXPECT_EQ(IsEntryInsideDataFolder(entry, c.pszData, c.chSeparator),
              c.bInside)
        << c.pszPath;
  }
  BackupEntry entry{"a\0b"s, "C", "/d/a\0b/C"s, false, "", false, ""};
  EXPECT_FALSE(IsEntryInsideDataFolder(entry, "/d", '/'));
}

}  // namespace
