// Power-loss test (Linux): runs "/set /rw jiro" once on a generated store
// under the recorder (powershim/powershim.c), then for many crash points of
// that log (after every fsync and rename, and at random records) builds the
// store as a file system may leave it after a power cut there, starting
// from a copy taken before the run, and checks the tool's promises on it.
//
// The model: bytes written to a file are durable once a later fsync of that
// file (before the crash point) covers them; a create, rename or unlink is
// durable once a later fsync of its folder covers it. What is not durable
// is taken in two ways, each a crash state of its own:
//   lost     every unflushed byte and every un-synced name change is lost;
//   renamed  the name changes are kept but unflushed bytes are lost, as
//            ext4 with delayed allocation may do: a file renamed before its
//            data was flushed is left empty or short.
// Limits: no other mixes (a part of the unflushed bytes, one name change
// kept and another lost); metadata (modes, owners, attributes) and folder
// creation are not modelled; a write or truncation is all or nothing and
// counts as data.
//
// On each state: every Folder.ini is whole (the original or the tool's new
// version), or "/undo" of the run, run on that state, makes it whole; each
// new Folder.ini has its entry in the backup file (which parses, possibly
// with a cut tail); the result file holds every record of its last flush;
// after "/undo" every cabinet is as before the run.
//
// The control repeats the run with the recorder dropping every fsync: its
// states must show torn Folder.ini, or the test itself sees nothing.
//
// Usage: powertest [RANDOM_POINTS [SEED]]; RAV_TOOL names the tool and
// RAV_POWERSHIM the recorder. Exits 1 when a promise was broken or the
// control passed.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "backupfile.h"
#include "commonproc.h"
#include "testfs.h"
#include "testrun.h"
#include "teststore.h"
#include "testutil.h"

namespace {

constexpr int kLibs = 2;
constexpr int kCabs = 15;

struct Op {
  std::string strKind, strPath, strPath2, strData;
  unsigned long nIno = 0;
  long long nNum = 0;  // open: flags; write: offset; trunc: length
};

std::vector<Op> ReadLog(const std::string& strLog) {
  std::ifstream in(strLog, std::ios::binary);
  std::vector<Op> vOps;
  for (std::string strLine; std::getline(in, strLine);) {
    std::istringstream fields(strLine);
    Op op;
    fields >> op.strKind;
    if (op.strKind == "open") fields >> op.nIno >> std::hex >> op.nNum;
    if (op.strKind == "write" || op.strKind == "trunc")
      fields >> op.nIno >> op.nNum;
    if (op.strKind == "fsync") fields >> op.nIno;
    size_t nLen = 0;
    if (op.strKind == "write") fields >> nLen;
    fields >> op.strPath >> op.strPath2;
    op.strData.resize(nLen);
    in.read(&op.strData[0], static_cast<std::streamsize>(nLen));
    vOps.push_back(op);
  }
  return vOps;
}

struct Inode {
  std::string strCur, strSynced;
};

// The file system after a prefix of the log: names by absolute path to an
// inode id ("" for none), as they are and as a folder sync made them
// durable; a name never touched is the original file's.
struct Model {
  const std::map<std::string, std::string>* pOriginal;
  std::map<std::string, std::string> mapNames, mapDurable;
  std::map<std::string, Inode> mapInodes;
  std::map<unsigned long, std::string> mapAlias;
  int nCreated = 0;

  std::string Resolve(const std::map<std::string, std::string>& mapIn,
                      const std::string& strPath) {
    auto it = mapIn.find(strPath);
    if (it != mapIn.end()) return it->second;
    auto orig = pOriginal->find(strPath);
    if (orig == pOriginal->end()) return "";
    mapInodes.emplace("@" + strPath, Inode{orig->second, orig->second});
    return "@" + strPath;
  }
  void Open(const Op& op) {
    std::string strId = Resolve(mapNames, op.strPath);
    if (strId.empty()) {
      strId = "#" + std::to_string(++nCreated);
      mapInodes[strId] = Inode();
      mapNames[op.strPath] = strId;
    }
    mapAlias[op.nIno] = strId;
    if ((op.nNum & O_TRUNC) != 0) mapInodes[strId].strCur.clear();
  }
  void SyncFolder(const std::string& strFolder) {
    for (const auto& name : mapNames)
      if (name.first.substr(0, name.first.rfind('/')) == strFolder)
        mapDurable[name.first] = name.second;
  }
  // A file opened read-only before (no record) is flushed in vain.
  void ApplyToFile(const Op& op) {
    auto alias = mapAlias.find(op.nIno);
    if (alias == mapAlias.end()) return;
    Inode& file = mapInodes[alias->second];
    size_t nOffset = static_cast<size_t>(op.nNum);
    if (op.strKind == "write" && file.strCur.size() < nOffset)
      file.strCur.resize(nOffset);
    if (op.strKind == "write")
      file.strCur.replace(nOffset, op.strData.size(), op.strData);
    if (op.strKind == "trunc") file.strCur.resize(nOffset);
    if (op.strKind == "fsync") file.strSynced = file.strCur;
  }
  void Apply(const Op& op) {
    if (op.nIno != 0 && op.strKind != "open") ApplyToFile(op);
    if (op.strKind == "open") Open(op);
    if (op.strKind == "dsync") SyncFolder(op.strPath);
    if (op.strKind == "rename")
      mapNames[op.strPath2] = Resolve(mapNames, op.strPath);
    if (op.strKind == "rename" || op.strKind == "unlink")
      mapNames[op.strPath] = "";
  }
};

struct Figures {
  int nStates = 0, nTorn = 0, nUndone = 0, nMissingEntries = 0;
  int nRecordsLost = 0, nUndoLeft = 0, nPrinted = 0;
};

struct Run {
  std::string strRoot, strCwd, strStamp;
  std::map<std::string, std::string> mapOriginal;  // absolute path -> bytes
  std::vector<Op> vOps;
};

std::string CabinetIni(const Run& run, int nLib, int nCab) {
  return JoinPath(JoinPath(JoinPath(run.strRoot + "/data", TestLibName(nLib)),
                           TestCabName(nCab)),
                  "Folder.ini");
}

// Puts the store back as it was before the run.
bool Restore(const Run& run) {
  TestRemoveTree(run.strRoot);
  bool bOk = TestMakeDirs(run.strCwd);
  for (const auto& file : run.mapOriginal)
    bOk = bOk && TestWriteFile(file.first, file.second);
  return bOk;
}

Model Replayed(const Run& run, size_t nOps) {
  Model model{&run.mapOriginal, {}, {}, {}, {}, 0};
  for (size_t i = 0; i < nOps; ++i) model.Apply(run.vOps[i]);
  return model;
}

// Writes the state of a power cut after the first nOps records.
bool BuildState(const Run& run, size_t nOps, bool bKeepNames) {
  Model model = Replayed(run, nOps);
  if (!Restore(run)) return false;
  bool bOk = true;
  for (const auto& name : model.mapNames) {
    std::string strId = model.Resolve(
        bKeepNames ? model.mapNames : model.mapDurable, name.first);
    if (strId.empty())
      bOk = bOk && (unlink(name.first.c_str()) == 0 || errno == ENOENT);
    else
      bOk = bOk && TestWriteFile(name.first, model.mapInodes[strId].strSynced);
  }
  return bOk;
}

// The result file's bytes at its last flush before the crash point; "" when
// its name was not yet made durable.
std::string FlushedRecords(const Run& run, size_t nOps) {
  Model model = Replayed(run, nOps);
  for (const auto& name : model.mapDurable)
    if (name.first.find("/result") != std::string::npos && !name.second.empty())
      return model.mapInodes[name.second].strSynced;
  return "";
}

bool Whole(const std::string& strIni, int nCab, bool& bNew) {
  bNew = strIni == TestCabinetIni(TestCabName(nCab), true, 0);
  return bNew || strIni == TestCabinetIni(TestCabName(nCab), false, 0);
}

// The changes the backup file holds: "Lib/Cab", LF, the bytes after.
std::set<std::string> BackupEntries(const Run& run) {
  std::vector<BackupRun> vRuns;
  std::string strData =
      TestReadFile(run.strCwd + "/backup" + run.strStamp + ".dat");
  std::set<std::string> setCovered;
  if (ParseBackupFile(strData, vRuns) < 0) return setCovered;
  for (const BackupRun& backup : vRuns)
    for (const BackupEntry& entry : backup.vEntries)
      setCovered.insert(entry.strLibrary + "/" + entry.strCabinet + "\n" +
                        entry.strAfter);
  return setCovered;
}

// One crash state being checked.
struct State {
  const Run& run;
  size_t nOps;
  bool bKeepNames;
  Figures& fig;
  bool bQuiet;
  void Note(const std::string& strWhat) {
    if (bQuiet || ++fig.nPrinted > 10) return;
    const Op& op = run.vOps[nOps - 1];
    std::string strOn =
        op.strPath.empty() ? "inode " + std::to_string(op.nIno) : op.strPath;
    std::printf("cut after record %zu (%s %s), names %s: %s\n", nOps,
                op.strKind.c_str(), strOn.c_str(), bKeepNames ? "kept" : "lost",
                strWhat.c_str());
  }
};

// Checks that each new Folder.ini has its backup entry; the torn ones.
std::vector<std::pair<int, int>> CheckCabinets(State& state) {
  std::set<std::string> setCovered = BackupEntries(state.run);
  std::vector<std::pair<int, int>> vTorn;
  for (int nLib = 1; nLib <= kLibs; ++nLib)
    for (int nCab = 1; nCab <= kCabs; ++nCab) {
      bool bNew = false;
      std::string strIni = TestReadFile(CabinetIni(state.run, nLib, nCab));
      if (!Whole(strIni, nCab, bNew)) vTorn.emplace_back(nLib, nCab);
      std::string strName = TestLibName(nLib) + "/" + TestCabName(nCab);
      if (!bNew || setCovered.count(strName + "\n" + strIni) != 0) continue;
      ++state.fig.nMissingEntries;
      state.Note(strName + " new, no backup entry");
    }
  return vTorn;
}

void CheckRecords(State& state) {
  std::string strFlushed = FlushedRecords(state.run, state.nOps);
  std::string strResult =
      TestReadFile(state.run.strCwd + "/result" + state.run.strStamp + ".txt");
  if (strResult.compare(0, strFlushed.size(), strFlushed) == 0) return;
  state.fig.nRecordsLost +=
      static_cast<int>(std::count(strFlushed.begin(), strFlushed.end(), '\n'));
  state.Note("flushed records lost");
}

// Runs "/undo" of the run on the state where its backup file is: each torn
// Folder.ini must be whole after it, and every cabinet as before the run.
void Undo(State& state, const std::vector<std::pair<int, int>>& vTorn) {
  const Run& run = state.run;
  std::string strOut;
  if (TestReadEntry(run.strCwd + "/backup" + run.strStamp + ".dat").chKind ==
      'f')
    TestRunTool({"/undo", run.strStamp}, run.strCwd, strOut);
  for (const auto& torn : vTorn) {
    bool bNew = false;
    std::string strIni = CabinetIni(run, torn.first, torn.second);
    bool bWhole = Whole(TestReadFile(strIni), torn.second, bNew);
    state.fig.nUndone += bWhole;
    state.fig.nTorn += !bWhole;
    if (!bWhole) state.Note(strIni + " torn");
  }
  for (int nLib = 1; nLib <= kLibs; ++nLib)
    for (int nCab = 1; nCab <= kCabs; ++nCab) {
      std::string strIni = CabinetIni(run, nLib, nCab);
      if (TestReadFile(strIni) == TestCabinetIni(TestCabName(nCab), false, 0))
        continue;
      ++state.fig.nUndoLeft;
      state.Note(strIni + " not put back by /undo");
    }
}

void CheckState(const Run& run, size_t nOps, bool bKeepNames, Figures& fig,
                bool bQuiet) {
  State state{run, nOps, bKeepNames, fig, bQuiet};
  ++fig.nStates;
  std::vector<std::pair<int, int>> vTorn = CheckCabinets(state);
  CheckRecords(state);
  Undo(state, vTorn);
}

// Runs the tool under the recorder on the original store.
bool Record(Run& run, bool bNoSync) {
  std::string strLog = run.strRoot + ".log";
  if (!Restore(run) || (unlink(strLog.c_str()) != 0 && errno != ENOENT))
    return false;
  TestRunOptions options;
  options.vEnv = {"LD_PRELOAD=" + std::string(getenv("RAV_POWERSHIM")),
                  "RAV_POWER_ROOT=" + run.strRoot, "RAV_POWER_LOG=" + strLog};
  if (bNoSync) options.vEnv.push_back("RAV_POWER_NOSYNC=1");
  std::string strOut;
  if (TestRunTool({"/set", "/rw", "jiro"}, run.strCwd, strOut, options) != 1)
    return false;
  for (const auto& entry : TestSnapshot(run.strCwd))
    if (entry.first.rfind("backup", 0) == 0)
      run.strStamp = entry.first.substr(6, 14);
  run.vOps = ReadLog(strLog);
  return !run.strStamp.empty() && !run.vOps.empty();
}

// The crash points: after every fsync and rename, and nRandom others.
std::vector<size_t> CrashPoints(const Run& run, int nRandom,
                                std::mt19937& rng) {
  std::vector<size_t> vPoints;
  for (size_t i = 0; i < run.vOps.size(); ++i)
    if (run.vOps[i].strKind.find("sync") != std::string::npos ||
        run.vOps[i].strKind == "rename")
      vPoints.push_back(i + 1);
  std::uniform_int_distribution<size_t> point(1, run.vOps.size());
  for (int i = 0; i < nRandom; ++i) vPoints.push_back(point(rng));
  return vPoints;
}

Figures Replay(const Run& run, const std::vector<size_t>& vPoints,
               bool bQuiet) {
  Figures fig;
  for (size_t nOps : vPoints)
    for (bool bKeepNames : {false, true}) {
      if (!BuildState(run, nOps, bKeepNames)) std::exit(2);
      CheckState(run, nOps, bKeepNames, fig, bQuiet);
    }
  return fig;
}

void Print(const char* pszName, const Run& run, const Figures& fig) {
  std::printf(
      "%s: %zu records, crash states %d, torn Folder.ini %d, put back by "
      "undo %d, missing backup entries %d, records lost %d, cabinets not "
      "put back by undo %d\n",
      pszName, run.vOps.size(), fig.nStates, fig.nTorn, fig.nUndone,
      fig.nMissingEntries, fig.nRecordsLost, fig.nUndoLeft);
}

bool Prepare(const ScratchDir& dir, Run& run) {
  char szReal[PATH_MAX];
  if (getenv("RAV_POWERSHIM") == nullptr ||
      realpath(dir.Path().c_str(), szReal) == nullptr)
    return false;
  run.strRoot = std::string(szReal) + "/store";
  run.strCwd = run.strRoot + "/cwd";
  if (!TestMakeStore(run.strRoot, run.strRoot + "/data", kLibs, kCabs, 0))
    return false;
  for (const auto& entry : TestSnapshot(run.strRoot))
    if (entry.second.chKind == 'f')
      run.mapOriginal[run.strRoot + "/" + entry.first] = entry.second.strData;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int nRandom = argc > 1 ? std::atoi(argv[1]) : 50;
  unsigned nSeed = argc > 2 ? static_cast<unsigned>(std::atol(argv[2]))
                            : std::random_device()();
  ScratchDir dir;
  Run run, control;
  if (!Prepare(dir, run) || !Record(run, false)) {
    std::printf("cannot build the store or record the tool (RAV_TOOL=%s)\n",
                TestToolPath().c_str());
    return 2;
  }
  std::mt19937 rng(nSeed);
  std::printf("seed %u\n", nSeed);
  Figures fig = Replay(run, CrashPoints(run, nRandom, rng), false);
  Print("tool", run, fig);
  control = run;
  if (!Record(control, true)) return 2;
  Figures figControl =
      Replay(control, CrashPoints(control, nRandom, rng), true);
  Print("control (no fsync)", control, figControl);
  bool bBroken = fig.nTorn > 0 || fig.nMissingEntries > 0 ||
                 fig.nRecordsLost > 0 || fig.nUndoLeft > 0;
  bool bControlSeen = figControl.nTorn > 0 || figControl.nMissingEntries > 0;
  if (!bControlSeen) std::printf("the control broke no promise\n");
  return bBroken || !bControlSeen ? 1 : 0;
}
