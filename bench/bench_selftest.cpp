// Checks the benchmark's own parts: the store generator makes what the
// cases need, the same bytes for the same seed; the outcome of a run is
// captured, recorded and compared so that any changed byte is caught; the
// floor does the change it stands for. scripts/bench.sh runs it first.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>

#include "benchfs.h"
#include "benchref.h"
#include "benchrun.h"
#include "genstore.h"

namespace {

// A scratch folder, removed with its contents at the end of the test.
struct Scratch {
  Scratch() {
    const char* pszTmp = std::getenv("TMPDIR");
    strRoot =
        std::string(pszTmp != nullptr ? pszTmp : "/tmp") + "/ravself.XXXXXX";
    if (mkdtemp(&strRoot[0]) == nullptr) strRoot.clear();
  }
  ~Scratch() { BenchRemoveTree(strRoot); }
  std::string strRoot;
};

BenchStoreShape SmallShape(uint64_t nSeed) {
  BenchStoreShape shape;
  shape.nLibs = 3, shape.nCabs = 40, shape.nNames = 40, shape.nUsers = 200;
  shape.nSeed = nSeed;
  return shape;
}

// Every file below the store's data folder: relative path -> bytes.
std::map<std::string, std::string> DataFiles(const std::string& strRoot) {
  std::map<std::string, std::string> mFiles;
  std::string strData = BenchDataDir(strRoot);
  for (const std::string& strFile : BenchListFiles(strData))
    EXPECT_TRUE(BenchReadFile(strData + "/" + strFile, mFiles[strFile]));
  return mFiles;
}

// The names of the list strKey ("UserNameList=") of an INI file; none when
// it has no such list.
std::vector<std::string> ListOf(const std::string& strIni,
                                const std::string& strKey) {
  size_t nPos = strIni.find(strKey);
  if (nPos == std::string::npos) return {};
  nPos += strKey.size();
  std::string strValue = strIni.substr(nPos, strIni.find('\r', nPos) - nPos);
  strValue.erase(strValue.find_last_not_of(' ') + 1);
  return BenchItems(strValue);
}

std::vector<std::string> BothLists(const std::string& strIni) {
  std::vector<std::string> vNames = ListOf(strIni, "UserNameList=");
  std::vector<std::string> vRO = ListOf(strIni, "ReadOnlyUserList=");
  vNames.insert(vNames.end(), vRO.begin(), vRO.end());
  return vNames;
}

bool HasBackToBack(const std::string& strIni) {
  for (const char* pszKey : {"UserNameList=", "ReadOnlyUserList="}) {
    std::vector<std::string> vNames = ListOf(strIni, pszKey);
    for (size_t n = 1; n < vNames.size(); ++n)
      if (vNames[n] == vNames[n - 1]) return true;
  }
  return false;
}

bool Holds(const std::string& strIni, const std::string& strName) {
  std::vector<std::string> vNames = BothLists(strIni);
  return std::find(vNames.begin(), vNames.end(), strName) != vNames.end();
}

// The cabinets' Folder.ini files (library/cabinet/Folder.ini).
std::vector<std::string> Cabinets(
    const std::map<std::string, std::string>& mFiles) {
  std::vector<std::string> vOut;
  for (const auto& file : mFiles)
    if (std::count(file.first.begin(), file.first.end(), '/') == 2)
      vOut.push_back(file.second);
  return vOut;
}

TEST(GenStore, SameSeedSameBytesOtherSeedOtherBytes) {
  Scratch a, b, c;
  ASSERT_TRUE(BenchMakeStore(a.strRoot + "/s", SmallShape(7)));
  ASSERT_TRUE(BenchMakeStore(b.strRoot + "/s", SmallShape(7)));
  ASSERT_TRUE(BenchMakeStore(c.strRoot + "/s", SmallShape(8)));
  EXPECT_EQ(DataFiles(a.strRoot + "/s"), DataFiles(b.strRoot + "/s"));
  EXPECT_NE(DataFiles(a.strRoot + "/s"), DataFiles(c.strRoot + "/s"));
  EXPECT_EQ(DataFiles(a.strRoot + "/s").size(), 1u + 1u + 3u + 3u * 40u);
}

TEST(GenStore, CabinetsHoldEveryKindOfName) {
  Scratch dir;
  ASSERT_TRUE(BenchMakeStore(dir.strRoot, SmallShape(1)));
  std::map<std::string, std::string> mFiles = DataFiles(dir.strRoot);
  std::vector<std::string> vUsers = ListOf(mFiles["User.ini"], "UserList=");
  auto fnUnregistered = [&](const std::string& s) {
    for (const std::string& strName : BothLists(s))
      if (strName != "admin" &&
          std::find(vUsers.begin(), vUsers.end(), strName) == vUsers.end())
        return true;
    return false;
  };
  using Test = std::function<bool(const std::string&)>;
  const std::pair<const char*, Test> kKinds[] = {
      {"trail byte 0x5C (ソ)",
       [](const std::string& s) {
         return s.find("\x83\x5C") != std::string::npos;
       }},
      {"trail byte 0x5C (表)",
       [](const std::string& s) {
         return s.find("\x95\x5C") != std::string::npos;
       }},
      {"back-to-back duplicate", HasBackToBack},
      {"granted user",
       [](const std::string& s) { return Holds(s, BenchGrantedUser()); }},
      {"granted user in another case",
       [](const std::string& s) { return Holds(s, "ソ表Ａ予"); }},
      {"unregistered name", fnUnregistered},
      {"ADMIN", [](const std::string& s) { return Holds(s, "ADMIN"); }},
      {"general viewer",
       [](const std::string& s) { return Holds(s, "一般閲覧者!"); }},
      {"no access lists",
       [](const std::string& s) {
         return s.find("[ReadUserInfo]") == std::string::npos;
       }},
      {"lists first",
       [](const std::string& s) { return s.rfind("[ReadUserInfo]", 0) == 0; }},
      {"blanks around lines",
       [](const std::string& s) {
         return s.find("  [ReadUserInfo]\t") != std::string::npos;
       }},
      {"no browse list",
       [](const std::string& s) {
         return s.find("[ReadUserInfo]") != std::string::npos &&
                s.find("ReadOnlyUserList=") == std::string::npos;
       }},
      {"[Other] behind the lists",
       [](const std::string& s) {
         return s.find("UserNameList=") < s.find("[Other]") &&
                s.find("[Other]") != std::string::npos;
       }},
  };
  std::vector<std::string> vCabinets = Cabinets(mFiles);
  EXPECT_EQ(vCabinets.size(), 3u * 40u);
  EXPECT_TRUE(std::find(vUsers.begin(), vUsers.end(), BenchGrantedUser()) !=
              vUsers.end());
  for (const auto& kind : kKinds)
    EXPECT_TRUE(std::any_of(vCabinets.begin(), vCabinets.end(), kind.second))
        << kind.first;
}

TEST(GenStore, FilesAreCrLfAndFoldersUtf8) {
  Scratch dir;
  ASSERT_TRUE(BenchMakeStore(dir.strRoot, SmallShape(1)));
  for (const auto& file : DataFiles(dir.strRoot)) {
    std::string strBare = file.second;
    size_t nCrLf = 0;
    for (size_t n = strBare.find("\r\n"); n != std::string::npos;
         n = strBare.find("\r\n", n + 1))
      ++nCrLf;
    EXPECT_EQ(nCrLf, static_cast<size_t>(
                         std::count(strBare.begin(), strBare.end(), '\n')))
        << file.first;
  }
  std::string strLibDir =
      BenchDataDir(dir.strRoot) + "/" + BenchUtf8("表計算002");
  std::string strLibIni;
  ASSERT_TRUE(BenchReadFile(strLibDir + "/Folder.ini", strLibIni));
  EXPECT_NE(strLibIni.find("NameList=ソフト00001,Cab00002,予算00003,"),
            std::string::npos);
  std::string strCabIni;
  EXPECT_TRUE(BenchReadFile(
      strLibDir + "/" + BenchUtf8("ソフト00001") + "/Folder.ini", strCabIni));
}

TEST(Outcome, MaskTimesAndResultNames) {
  const std::pair<const char*, const char*> kCases[] = {
      {"実行開始,2024/05/06 07:08:09\r\n", "実行開始,{TIME}\r\n"},
      {"see result20240506070809.txt now", "see result{TS}.txt now"},
      {"2024/05/06 07:08:0x", "2024/05/06 07:08:0x"},
      {"result2024050607080.txt", "result2024050607080.txt"},
      {"", ""},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(BenchMask(c.first), c.second) << c.first;
}

TEST(Outcome, SavedAndLoadedByteForByte) {
  Scratch dir;
  BenchOutcome outcome = {{"exit", "1"},
                          {"file a/Folder.ini", std::string("x\r\n\0y\n", 6)},
                          {"file b", ""},
                          {"result", "12 34\n"}};
  ASSERT_TRUE(BenchSaveOutcome(dir.strRoot + "/case.ref", outcome));
  BenchOutcome loaded;
  ASSERT_TRUE(BenchLoadOutcome(dir.strRoot + "/case.ref", loaded));
  EXPECT_EQ(loaded, outcome);
  EXPECT_FALSE(BenchLoadOutcome(dir.strRoot + "/none.ref", loaded));
}

TEST(Outcome, EveryDifferenceIsReported) {
  const BenchOutcome want = {
      {"exit", "1"}, {"file x", "a\r\nb\r\nc\r\n"}, {"result", "r"}};
  struct Change {
    const char* pszWhat;
    std::function<void(BenchOutcome&)> fnChange;
    const char* pszReported;
  };
  const Change kChanges[] = {
      {"one byte of a file", [](BenchOutcome& o) { o["file x"][4] = 'B'; },
       "file x: line 2 differs"},
      {"a longer file", [](BenchOutcome& o) { o["file x"] += "d"; },
       "file x: line 4 differs"},
      {"exit code", [](BenchOutcome& o) { o["exit"] = "0"; },
       "exit: line 1 differs"},
      {"a missing part", [](BenchOutcome& o) { o.erase("result"); },
       "result: missing"},
      {"an extra file", [](BenchOutcome& o) { o["file y"] = ""; },
       "file y: not in the reference"},
  };
  EXPECT_EQ(BenchCompare(want, want), "");
  for (const Change& change : kChanges) {
    BenchOutcome got = want;
    change.fnChange(got);
    EXPECT_NE(BenchCompare(want, got).find(change.pszReported),
              std::string::npos)
        << change.pszWhat << ":\n"
        << BenchCompare(want, got);
  }
}

TEST(Outcome, CaptureDropsTheRunsHeaderAndMasksTimes) {
  Scratch dir;
  ASSERT_TRUE(BenchMakeStore(dir.strRoot, SmallShape(1)));
  ASSERT_TRUE(
      BenchWriteFile(BenchCwdDir(dir.strRoot) + "/result20240506070809.txt",
                     "cmd\r\ndata\r\nstart\r\n====\r\nLST,OK\r\n実行完了,2024/"
                     "05/06 07:08:10\r\n"));
  BenchOutcome o =
      BenchCapture(dir.strRoot, 1, u8"done result20240506070809.txt\n");
  EXPECT_EQ(o["exit"], "1");
  EXPECT_EQ(o["console"], "done result{TS}.txt\n");
  EXPECT_EQ(o["cwd"], "result{TS}.txt\n");
  EXPECT_EQ(o["result"], "====\r\nLST,OK\r\n実行完了,{TIME}\r\n");
  EXPECT_EQ(o.count("file User.ini"), 1u);
  EXPECT_EQ(o.count("file " + BenchUtf8("表計算002/ソフト00001/Folder.ini")),
            1u);
}

// Runs the floor's /set on the store under strRoot; while another process
// (a test run) holds the single-instance lock, it tries again.
BenchRun RunFloorSet(const std::string& strRoot) {
  BenchRun run;
  for (int nTry = 0; nTry < 300 && (nTry == 0 || run.nExit == 3); ++nTry) {
    if (nTry > 0) sleep(1);
    EXPECT_TRUE(BenchSpawn(
        BenchSelfDir() + "/rav_floor",
        {"set", BenchDataDir(strRoot), BenchUtf8(BenchGrantedUser())},
        BenchCwdDir(strRoot), {}, strRoot + "/out.txt", 60, run));
  }
  return run;
}

// The floor does the change it stands for: the user granted in both lists
// of every cabinet with access lists, admin kept, no duplicates left, no
// Folder.ini.new behind.
TEST(Floor, SetGrantsTheUserEverywhere) {
  Scratch dir;
  ASSERT_TRUE(BenchMakeStore(dir.strRoot, SmallShape(3)));
  BenchRun run = RunFloorSet(dir.strRoot);
  ASSERT_EQ(run.nExit, 1) << run.strOutput;
  std::map<std::string, std::string> mFiles = DataFiles(dir.strRoot);
  int nLists = 0;
  for (const std::string& strIni : Cabinets(mFiles)) {
    for (const char* pszKey : {"UserNameList=", "ReadOnlyUserList="}) {
      std::vector<std::string> vNames = ListOf(strIni, pszKey);
      if (strIni.find("[ReadUserInfo]") == std::string::npos) continue;
      ++nLists;
      std::set<std::string> setNames(vNames.begin(), vNames.end());
      EXPECT_EQ(setNames.size(), vNames.size()) << BenchUtf8(strIni);
      EXPECT_TRUE(setNames.count(BenchGrantedUser()) ||
                  setNames.count("ソ表Ａ予"))
          << BenchUtf8(strIni);
      EXPECT_TRUE(setNames.count("admin") || setNames.count("ADMIN"))
          << BenchUtf8(strIni);
    }
  }
  EXPECT_GT(nLists, 200);
  for (const auto& file : mFiles)
    EXPECT_EQ(file.first.find(".new"), std::string::npos);
}

std::string RealTool() {
  return BenchSelfDir() + "/../raverazariduvivi/RaVerAzariduVivi";
}

// Runs the runner's groups strOnly at tiny sizes with --record or --check
// (strMode, "" for neither) of the reference under strRoot, and strTool as
// the tool. A wrapper finds the real tool in $REAL.
BenchRun RunRunner(const std::string& strRoot, const std::string& strMode,
                   const std::string& strTool,
                   const std::string& strOnly = "set,list,cleanup") {
  std::vector<std::string> vArgs = {"--only", strOnly,  "--reps",
                                    "1",      "--tool", strTool};
  if (!strMode.empty()) vArgs.insert(vArgs.end(), {strMode, strRoot + "/ref"});
  for (const char* pszSize :
       {"set-libraries=1", "set-cabinets=6", "set-names=6", "set-users=30",
        "cleanup-cabinets=2", "cleanup-names=30", "cleanup-users=60"}) {
    std::string strSize = pszSize;
    vArgs.push_back("--" + strSize.substr(0, strSize.find('=')));
    vArgs.push_back(strSize.substr(strSize.find('=') + 1));
  }
  BenchRun run;
  EXPECT_TRUE(BenchSpawn(BenchSelfDir() + "/rav_runbench", vArgs, strRoot,
                         {"REAL=" + RealTool()}, strRoot + "/out.txt", 300,
                         run));
  return run;
}

// The runner records the real tool's outcomes and then fails its check for
// every wrong answer, however fast: a changed byte in one cabinet, nothing
// done but the closing message, a wrong exit code.
TEST(Runner, WrongAnswersFailTheCheck) {
  Scratch dir;
  const std::pair<const char*, std::string> kWrongTools[] = {
      {"one byte changed by /set",
       "\"$REAL\" \"$@\"; rc=$?\n[ \"$1\" = /set ] && sed -i "
       "'s/admin,/admim,/' "
       "\"${RAVERAZARIDUVIVI_REGISTRY%/*}/data/Lib001/Cab00002/Folder.ini\"\n"
       "exit $rc\n"},
      {"nothing done",
       u8"echo 権限情報の更新が完了しました。; echo 情報を出力しました。\n"
       u8"exit 1\n"},
      {"exit code 0", "\"$REAL\" \"$@\"; exit 0\n"},
  };
  BenchRun runRecord = RunRunner(dir.strRoot, "--record", RealTool());
  ASSERT_EQ(runRecord.nExit, 0) << runRecord.strOutput;
  EXPECT_EQ(RunRunner(dir.strRoot, "--check", RealTool()).nExit, 0);
  std::string strScript = dir.strRoot + "/wrong.sh";
  for (const auto& tool : kWrongTools) {
    ASSERT_TRUE(BenchWriteFile(strScript, "#!/bin/sh\n" + tool.second));
    ASSERT_EQ(chmod(strScript.c_str(), 0755), 0);
    BenchRun run = RunRunner(dir.strRoot, "--check", strScript);
    EXPECT_EQ(run.nExit, 1) << tool.first;
    EXPECT_NE(run.strOutput.find("CHECK FAILED"), std::string::npos)
        << tool.first << ":\n"
        << run.strOutput;
  }
}

// Even without a reference, /report must agree with the /listall-authstatus
// it is timed against: its CSV one row per LST record, the listing's
// records its own.
TEST(Runner, ReportDisagreeingWithTheListingFailsTheCheck) {
  Scratch dir;
  const std::pair<const char*, std::string> kTools[] = {
      {"the real tool", "exec \"$REAL\" \"$@\"\n"},
      {"a CSV row lost",
       "\"$REAL\" \"$@\"; rc=$?\n[ \"$1\" = /report ] && sed -i '$d' "
       "report*.csv\nexit $rc\n"},
      {"a record lost by the listing",
       "\"$REAL\" \"$@\"; rc=$?\n[ \"$1\" = /listall-authstatus ] && "
       "LC_ALL=C sed -i '0,/^LST,/{//d}' result*.txt\nexit $rc\n"},
  };
  std::string strScript = dir.strRoot + "/tool.sh";
  for (const auto& tool : kTools) {
    ASSERT_TRUE(BenchWriteFile(strScript, "#!/bin/sh\n" + tool.second));
    ASSERT_EQ(chmod(strScript.c_str(), 0755), 0);
    BenchRun run = RunRunner(dir.strRoot, "", strScript, "report");
    bool bReal = tool.first == kTools[0].first;
    EXPECT_EQ(run.nExit, bReal ? 0 : 1) << tool.first << ":\n" << run.strOutput;
    EXPECT_EQ(run.strOutput.find("CHECK FAILED") == std::string::npos, bReal)
        << tool.first << ":\n"
        << run.strOutput;
  }
}

}  // namespace
