// Tests of the backup file's encoding, its parser and the undo's path check;
// the unit is pure, so both builds run them.
#include "backupfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

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

// Version 1 runs, then the version 2 runs that this writer appends behind
// them; and a file of version 2 runs alone.
const std::vector<BackupRun> kRuns = {
    {"/d", {kEntries[0], kEntries[1], kEntries[2]}, 1},
    {"/d", {}, 1},
    {"C:\\ソ data", {kEntries[3], kEntries[4], kEntries[5]}, 2},
    {"/d", {}, 2},
    {"/d", {kEntries[1]}, 2},
};
const std::vector<BackupRun> kRunsV2 = {
    {"/d", {kEntries[5], kEntries[0]}},
    {"/d", {kEntries[1]}},
};

// The file of the runs, and the offset behind each header and entry.
std::string FileOf(const std::vector<BackupRun>& vRuns,
                   std::vector<size_t>* pvEnds) {
  std::string strFile;
  for (const BackupRun& run : vRuns) {
    strFile += BackupHeader(run.strDataPath, run.nVersion);
    pvEnds->push_back(strFile.size());
    for (const BackupEntry& entry : run.vEntries) {
      strFile += BackupEntryBytes(entry, run.nVersion);
      pvEnds->push_back(strFile.size());
    }
  }
  EXPECT_EQ(strFile, BackupFileBytes(vRuns));
  return strFile;
}

// The runs as far as the first nItems headers and entries.
std::vector<BackupRun> FirstItems(const std::vector<BackupRun>& vRuns,
                                  size_t nItems) {
  std::vector<BackupRun> vOut;
  for (const BackupRun& run : vRuns) {
    if (nItems-- == 0) break;
    vOut.push_back({run.strDataPath, {}, run.nVersion});
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
    EXPECT_EQ(got.nVersion, vWant[nRun].nVersion) << strAt;
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
// payload and a trail byte 0x5C in every field; in version 2, whose checks
// are zlib's CRC-32, and in version 1.
TEST(BackupFile, WritesTheDocumentedBytes) {
  const BackupEntry aEntries[] = {
      {"ソ", "CabA", "C:\\Data\\ソ\\CabA", false, "", true,
       "[ReadUserInfo]\r\nUserNameList=a,\r\n"},
      {"ソ", "表", "C:\\Data\\ソ\\表", true, "a\r\n\0"s, true, ""}};
  const std::string strBody1 =
      "library=\x83\x5C\r\ncabinet=CabA\r\n"
      "path=C:\\Data\\\x83\x5C\\CabA\r\n"
      "before=none\r\nafter=33\r\n"
      "[ReadUserInfo]\r\nUserNameList=a,\r\n\r\nend\r\n";
  const std::string strBody2 =
      "library=\x83\\\r\ncabinet=\x95\\\r\n"
      "path=C:\\Data\\\x83\\\\\x95\\\r\n"
      "before=4\r\na\r\n\0\r\nafter=0\r\n\r\nend\r\n"s;
  const struct {
    int nVersion;
    std::string strWant;
  } kCases[] = {
      {2,
       "RAVBACKUP 2 14 637b6469\r\ndata=C:\\Data\r\n"
       "entry 111 45eac7b0\r\n" +
           strBody1 + "entry 76 602fcc78\r\n" + strBody2},
      {1, "RAVBACKUP 1\r\ndata=C:\\Data\r\nentry\r\n" + strBody1 + "entry\r\n" +
              strBody2},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(BackupHeader("C:\\Data", c.nVersion) +
                  BackupEntryBytes(aEntries[0], c.nVersion) +
                  BackupEntryBytes(aEntries[1], c.nVersion),
              c.strWant)
        << "version " << c.nVersion;
}

TEST(BackupFile, RefusesToWriteLineEndsInFields) {
  for (int nVersion : {1, 2}) {
    EXPECT_EQ(BackupHeader("/d\r", nVersion), "");
    EXPECT_EQ(BackupHeader("/d\nx", nVersion), "");
    for (BackupEntry entry : {Entry("a\nb", "C", false, "", false, ""),
                              Entry("L", "C\r", false, "", false, "")})
      EXPECT_EQ(BackupEntryBytes(entry, nVersion), "") << entry.strPath;
  }
}

// Every prefix of a file of runs: the headers and entries it holds whole
// are read back, a cut one is dropped (2), and a cut inside the first
// header leaves no file (-1). Re-encoding what was read gives back exactly
// the whole part.
TEST(BackupFile, ReadsEveryPrefixBackWhole) {
  for (const std::vector<BackupRun>* pRuns : {&kRuns, &kRunsV2}) {
    std::vector<size_t> vEnds;
    const std::string strFile = FileOf(*pRuns, &vEnds);
    for (size_t nCut = 0; nCut <= strFile.size(); ++nCut) {
      size_t nWhole = 0;
      while (nWhole < vEnds.size() && vEnds[nWhole] <= nCut) ++nWhole;
      bool bAtEnd = nWhole > 0 && vEnds[nWhole - 1] == nCut;
      std::vector<BackupRun> vRuns = {{"stale", {}}};
      int nRet = ParseBackupFile(strFile.substr(0, nCut), vRuns);
      std::string strAt = "cut at " + std::to_string(nCut);
      EXPECT_EQ(nRet, nWhole == 0 ? -1 : bAtEnd ? 1 : 2) << strAt;
      ExpectRuns(vRuns, FirstItems(*pRuns, nWhole), strAt);
      EXPECT_EQ(BackupFileBytes(vRuns),
                strFile.substr(0, nWhole ? vEnds[nWhole - 1] : 0))
          << strAt;
    }
  }
}

// Version 1 damage: anything out of place but a prefix at the very end.
TEST(BackupFile, RefusesDamageInVersion1) {
  const std::string strHead = "RAVBACKUP 1\r\ndata=/d\r\n";
  const std::string strGood = BackupEntryBytes(kEntries[0], 1);
  const std::string strNames = "entry\r\nlibrary=L\r\ncabinet=C\r\npath=/p\r\n";
  const std::string strNone = "before=none\r\nafter=none\r\n";
  const std::string aFiles[] = {
      "",
      "\r\n" + strHead,
      "RAVBACKUP 2\r\ndata=/d\r\n",
      "RAVBACKUP 3\r\ndata=/d\r\n",
      "RAVBACKUP 10\r\ndata=/d\r\n",
      "ravbackup 1\r\ndata=/d\r\n",
      "RAVBACKUP 1\ndata=/d\n",
      "RAVBACKUP 1\r\ndata=/d\r\nRAVBACKUP 3\r\ndata=/d\r\n",
      // A cut entry or header followed by more, a hole behind an entry.
      strHead + strGood + std::string(40, '\0'),
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
  const std::string strFile = BackupHeader("/d", 1) +
                              BackupEntryBytes(kEntries[0], 1) +
                              "entry\r\nlibrary=L\r\ncabinet=C\r\npath=/p\r\n";
  for (const char* pszCount : {"100", "1073741824"}) {
    std::vector<BackupRun> vRuns;
    EXPECT_EQ(
        ParseBackupFile(strFile + "before=" + pszCount + "\r\nabc", vRuns), 2)
        << pszCount;
    ExpectRuns(vRuns, {{"/d", {kEntries[0]}, 1}}, pszCount);
  }
}

// The bytes with those from nFrom to nTo replaced by zeros: a hole that a
// write reaching the disk out of order leaves.
std::string Holed(std::string str, size_t nFrom, size_t nTo) {
  std::fill(str.begin() + nFrom, str.begin() + nTo, '\0');
  return str;
}

// Version 2: behind the last whole item, whatever stands (zeros, old bytes
// of the disk, a torn or garbled item) is a cut tail and dropped; an item
// that fails before a whole, checked one is damage, and so is a file
// without a whole first header.
TEST(BackupFile, TellsACutTailFromDamageInVersion2) {
  const std::string strHead =
      BackupHeader("/d") + BackupEntryBytes(kEntries[0]);
  const std::string strHeadV1 =
      BackupHeader("/d", 1) + BackupEntryBytes(kEntries[0], 1);
  const std::string strGood = BackupEntryBytes(kEntries[3]);
  const std::string strB = BackupEntryBytes(kEntries[1]);
  std::string strFlipped = strB, strUpper = strB, strLonger = strB;
  strFlipped[strB.size() / 2] ^= 0x20;
  size_t nCrc = strB.find("\r\n") - 8;
  std::transform(strB.begin() + nCrc, strB.begin() + nCrc + 8,
                 strUpper.begin() + nCrc, ::toupper);
  strLonger.insert(strB.find(' ') + 1, "1");
  // A checked item whose body is no entry: a header's, renamed.
  const std::string strNoEntry = "entry" + BackupHeader("/x").substr(11);
  const std::string strZeros(64, '\0');
  const struct {
    std::string strHead, strTail;
    bool bDamage;
  } kCases[] = {
      {strHead, strZeros, false},
      {strHead, Holed(strB, 30, 50), false},
      {strHead, Holed(strB, 0, strB.size() - 5), false},
      {strHead, strFlipped, false},
      {strHead, strUpper, false},
      {strHead, strLonger, false},
      {strHead, strNoEntry, false},
      {strHead, "[ReadUserInfo]\r\nUserNameList=old,\r\n", false},
      {strHead, "RAVBACKUP 1\r\ndata=/d\r\n", false},
      {strHead, Holed(BackupHeader("/d") + strB, 12, 60), false},
      {strHeadV1, Holed(BackupHeader("/d") + strB, 20, 40), false},
      {strHead, strZeros + strGood, true},
      {strHead, Holed(strB, 30, 50) + strGood, true},
      {strHead, strFlipped + strGood, true},
      {strHead, strUpper + strGood, true},
      {strHead, strLonger + strGood, true},
      {strHead, strNoEntry + strGood, true},
      {strHead, strB.substr(0, 20) + strGood, true},
      {strHead, "x\r\n" + BackupHeader("/d"), true},
      {strHead, Holed(BackupHeader("/d") + strB, 12, 60) + strGood, true},
      {strHeadV1, Holed(BackupHeader("/d") + strB, 20, 40) + strGood, true},
      {"", Holed(strHead, 0, 10), true},
      {"", Holed(strHead, 12, 20) + strGood, true},
  };
  for (const auto& c : kCases) {
    std::vector<BackupRun> vRuns = {{"stale", {}}};
    const std::string strFile = c.strHead + c.strTail;
    int nRet = ParseBackupFile(strFile, vRuns);
    EXPECT_EQ(nRet, c.bDamage ? -1 : 2) << strFile;
    EXPECT_EQ(BackupFileBytes(vRuns), c.bDamage ? "" : c.strHead) << strFile;
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
