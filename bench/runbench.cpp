// The benchmark runner: times the tool against the floor program, side by
// side, on generated stores (genstore.h), and checks every run of the tool
// against a recorded reference (benchref.h). /report is timed against the
// tool's own /listall-authstatus instead, and its page opened in headless
// Chromium.
//
// Each case makes its store, then runs the tool and the floor once per
// repetition, the store restored (regenerated and synced) before each run
// of a changing command and the result files cleared before each listing;
// the restore is not timed. It prints the ratio of the medians, tool over
// floor, growth figures and the peak memory of /cleanup. Run with --help
// for the options.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "benchfs.h"
#include "benchref.h"
#include "benchrun.h"
#include "genstore.h"

namespace {

// The sizes of the stores, each a command-line option and a line of the
// reference folder's params file.
struct Sizes {
  int nSeed = 1;
  int nSetLibs = 10;        // /set and the listings: libraries
  int nSetCabs = 1000;      // cabinets in each library
  int nSetNames = 40;       // names in each list
  int nSetUsers = 1000;     // registered users
  int nCleanCabs = 10;      // /cleanup: cabinets in one library
  int nCleanNames = 5000;   // names in each list
  int nCleanUsers = 50000;  // registered users
  int nGrowCabs = 20;       // growth with list length: cabinets
  int nGrowNames = 2000;    // n: n and 4n names, 10n and 40n users
  int nGrowLibCabs = 2000;  // growth with cabinets: m and 4m in one library
  int nPageLibs = 20;       // /report's page: libraries
  int nPageCabs = 1000;     // cabinets in each library
  int nPageNames = 30;      // names in each list
  int nPageUsers = 2000;    // registered users
};

struct SizeOption {
  const char* pszName;
  int Sizes::*pField;
};

const SizeOption kSizeOptions[] = {
    {"seed", &Sizes::nSeed},
    {"set-libraries", &Sizes::nSetLibs},
    {"set-cabinets", &Sizes::nSetCabs},
    {"set-names", &Sizes::nSetNames},
    {"set-users", &Sizes::nSetUsers},
    {"cleanup-cabinets", &Sizes::nCleanCabs},
    {"cleanup-names", &Sizes::nCleanNames},
    {"cleanup-users", &Sizes::nCleanUsers},
    {"grow-cabinets", &Sizes::nGrowCabs},
    {"grow-names", &Sizes::nGrowNames},
    {"grow-library-cabinets", &Sizes::nGrowLibCabs},
    {"page-libraries", &Sizes::nPageLibs},
    {"page-cabinets", &Sizes::nPageCabs},
    {"page-names", &Sizes::nPageNames},
    {"page-users", &Sizes::nPageUsers},
};

// Moderate sizes for a quick look (--quick).
Sizes QuickSizes() {
  Sizes s;
  s.nSetLibs = 4, s.nSetCabs = 250, s.nSetNames = 20, s.nSetUsers = 200;
  s.nCleanCabs = 5, s.nCleanNames = 1000, s.nCleanUsers = 10000;
  s.nGrowCabs = 5, s.nGrowNames = 250, s.nGrowLibCabs = 250;
  s.nPageLibs = 4, s.nPageCabs = 250, s.nPageNames = 20, s.nPageUsers = 200;
  return s;
}

struct Options {
  std::string strTool, strFloor, strWork, strRecord, strCheck;
  std::string strChromium = "/usr/bin/chromium";  // "" leaves the page out
  bool bOwnWork = false;  // the work folder was made here and goes at the end
  int nReps = 5;
  int nBudget = 60;     // seconds one case may take before fewer repetitions
  int nTimeout = 1800;  // seconds one run may take before it is killed
  bool bVerbose = false;
  std::vector<std::string> vOnly;
  Sizes sizes;
};

// One measured command on one store.
struct Case {
  std::string strId;  // names its reference file
  std::vector<std::string> vToolArgs;
  std::vector<std::string> vFloorArgs;  // after the data folder: user
  std::vector<std::string> vBaseArgs;  // the tool's, timed in the floor's place
  std::string strFloorWord;
  BenchStoreShape shape;
  bool bChanging = false;
};

struct Timing {
  double dTool = 0, dFloor = 0;  // median wall-clock seconds
  double dToolCpu = 0, dFloorCpu = 0;
  long nToolRssKb = 0, nFloorRssKb = 0;
  int nReps = 0;
};

struct Bench {
  Options opt;
  int nChecked = 0;
  int nFailed = 0;
  std::vector<std::string> vRatios, vGrowth, vNotes;
};

// ---- Running the tool and the floor ---------------------------------------

const char kMsgLocked[] = "本ツールは同時に２つ以上実行できません。";
const char kMsgChanged[] = "権限情報の更新が完了しました。";
const char kMsgListed[] = "情報を出力しました。";
constexpr int kFloorLocked = 3;
constexpr int kLockTries = 600;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool IsLockRefusal(const BenchRun& run, bool bTool) {
  if (!bTool) return run.nExit == kFloorLocked;
  return run.nExit == 255 &&
         BenchCp932(run.strOutput).find(kMsgLocked) != std::string::npos;
}

// True iff the run in the floor's place is the tool's own base command.
bool HasBase(const Case& c) { return !c.vBaseArgs.empty(); }

const std::string& Program(const Bench& bench, const Case& c, bool bTool) {
  return bTool || HasBase(c) ? bench.opt.strTool : bench.opt.strFloor;
}

std::vector<std::string> Arguments(const Case& c, const std::string& strRoot,
                                   bool bTool) {
  if (bTool) return c.vToolArgs;
  if (HasBase(c)) return c.vBaseArgs;
  std::vector<std::string> vArgs = {c.strFloorWord, BenchDataDir(strRoot)};
  vArgs.insert(vArgs.end(), c.vFloorArgs.begin(), c.vFloorArgs.end());
  return vArgs;
}

// Runs the tool or the floor on the store under strRoot; another process
// holding the single-instance lock (another test run, say) is waited for.
bool RunOne(const Bench& bench, const Case& c, const std::string& strRoot,
            bool bTool, BenchRun& run) {
  std::vector<std::string> vArgs = Arguments(c, strRoot, bTool);
  std::vector<std::string> vEnv = {"RAVERAZARIDUVIVI_REGISTRY=" +
                                   BenchRegistryFile(strRoot)};
  for (int nTry = 1; nTry <= kLockTries; ++nTry) {
    if (!BenchSpawn(Program(bench, c, bTool), vArgs, BenchCwdDir(strRoot), vEnv,
                    strRoot + "/console.txt", bench.opt.nTimeout, run))
      return false;
    if (!IsLockRefusal(run, bTool || HasBase(c))) return true;
    if (nTry == 1)
      std::fprintf(stderr, "  waiting for the single-instance lock\n");
    sleep(1);
  }
  return false;
}

// Makes the case's store afresh and flushes it, so that no write of the
// set-up is left for a timed run's fsync to wait for.
bool Restore(const Case& c, const std::string& strRoot) {
  return BenchRemoveTree(strRoot) && BenchMakeStore(strRoot, c.shape) &&
         BenchSyncFs(strRoot);
}

bool ClearCwd(const std::string& strRoot) {
  std::string strCwd = BenchCwdDir(strRoot);
  return BenchRemoveTree(strCwd) && BenchMakeDirs(strCwd);
}

// ---- Checking the tool's runs ---------------------------------------------

// The reference of the case: loaded from --check, or the first run's
// outcome (saved with --record).
bool Reference(Bench& bench, const Case& c, const BenchOutcome& got,
               BenchOutcome& ref) {
  if (!ref.empty()) return true;
  if (!bench.opt.strCheck.empty()) {
    if (BenchLoadOutcome(bench.opt.strCheck + "/" + c.strId + ".ref", ref))
      return true;
    std::fprintf(stderr, "  no reference %s in %s (record one with --record)\n",
                 c.strId.c_str(), bench.opt.strCheck.c_str());
    return false;
  }
  ref = got;
  return bench.opt.strRecord.empty() ||
         BenchSaveOutcome(bench.opt.strRecord + "/" + c.strId + ".ref", ref);
}

std::string FirstLine(const std::string& strText) {
  return strText.substr(0, strText.find('\n'));
}

// The exit code and closing message of a run that did its work.
std::string EndProblem(const Case& c, const BenchRun& run) {
  std::string strWant = c.bChanging ? kMsgChanged : kMsgListed;
  if (run.nExit == 1 && FirstLine(BenchCp932(run.strOutput)) == strWant)
    return "";
  return "    exit code " + std::to_string(run.nExit) +
         ", console: " + FirstLine(run.strOutput) + "\n";
}

size_t Count(const std::string& strText, const std::string& strPart) {
  size_t nCount = 0;
  for (size_t nPos = strText.find(strPart); nPos != std::string::npos;
       nPos = strText.find(strPart, nPos + 1))
    ++nCount;
  return nCount;
}

// /report's CSV holds its header and one row for each LST record of the
// run's result file.
std::string CsvProblem(const BenchOutcome& got) {
  auto itCsv = got.find("csv"), itResult = got.find("result");
  if (itCsv == got.end() || itResult == got.end()) return "    no CSV\n";
  size_t nRows = Count(itCsv->second, "\n");
  size_t nRecords = Count(itResult->second, "\nLST,");
  if (nRows == nRecords + 1) return "";
  return "    the CSV has " + std::to_string(nRows) + " lines for " +
         std::to_string(nRecords) + " LST records and its header\n";
}

bool Verdict(Bench& bench, const std::string& strWhat,
             const std::string& strProblem) {
  ++bench.nChecked;
  if (strProblem.empty()) return true;
  ++bench.nFailed;
  std::fprintf(stderr, "CHECK FAILED: %s\n%s", strWhat.c_str(),
               strProblem.c_str());
  return false;
}

// Checks one run of the tool: exit code, closing message, and every part of
// its outcome against the reference; /report's CSV against its records.
bool CheckRun(Bench& bench, const Case& c, const std::string& strRoot,
              const BenchRun& run, BenchOutcome& ref) {
  std::string strProblem = EndProblem(c, run);
  BenchOutcome got = BenchCapture(strRoot, run.nExit, run.strOutput);
  if (!Reference(bench, c, got, ref)) strProblem += "    no reference\n";
  if (strProblem.empty()) strProblem = BenchCompare(ref, got);
  if (strProblem.empty() && HasBase(c)) strProblem = CsvProblem(got);
  return Verdict(bench, c.strId, strProblem);
}

// Checks a run of the base command: the same result records as the
// reference of the tool's command.
bool CheckBaseRun(Bench& bench, const Case& c, const std::string& strRoot,
                  const BenchRun& run, const BenchOutcome& ref) {
  std::string strProblem = EndProblem(c, run);
  BenchOutcome got = BenchCapture(strRoot, run.nExit, run.strOutput);
  auto itWant = ref.find("result");
  if (strProblem.empty() && itWant != ref.end())
    strProblem = BenchCompare({*itWant}, {{"result", got["result"]}});
  return Verdict(bench, c.strId + " (" + c.vBaseArgs[0] + ")", strProblem);
}

// ---- Measuring --------------------------------------------------------------

// Runs one program once; the tool's run is then checked. Either way the
// store is put back for the next run afterwards.
bool TimedRun(Bench& bench, const Case& c, const std::string& strRoot,
              bool bTool, BenchRun& run, BenchOutcome& ref, bool& bGood) {
  if (!RunOne(bench, c, strRoot, bTool, run)) {
    std::fprintf(stderr, "  cannot run %s\n", Program(bench, c, bTool).c_str());
    return false;
  }
  if (bTool) bGood = CheckRun(bench, c, strRoot, run, ref);
  if (!bTool && HasBase(c))
    bGood = CheckBaseRun(bench, c, strRoot, run, ref) && bGood;
  return c.bChanging ? Restore(c, strRoot) : ClearCwd(strRoot);
}

// The repetitions the budget allows after the first one took dFirst
// seconds; never fewer than three.
int Repetitions(const Options& opt, double dFirst) {
  int nFit = dFirst <= 0 ? opt.nReps : static_cast<int>(opt.nBudget / dFirst);
  return std::max(std::min(opt.nReps, nFit), std::min(opt.nReps, 3));
}

// The median wall-clock and CPU seconds and the peak memory of one
// program's runs.
void Summarise(const std::vector<BenchRun>& vRuns, double& dWall, double& dCpu,
               long& nRssKb) {
  std::vector<double> vWall, vCpu;
  for (const BenchRun& run : vRuns) {
    vWall.push_back(run.dWall);
    vCpu.push_back(run.dCpu);
    nRssKb = std::max(nRssKb, run.nMaxRssKb);
  }
  dWall = Median(vWall);
  dCpu = Median(vCpu);
}

// Times the tool and the floor on the case's store, side by side.
bool Measure(Bench& bench, const Case& c, Timing& t) {
  std::string strRoot = bench.opt.strWork + "/" + c.strId;
  std::fprintf(stderr, "%s\n", c.strId.c_str());
  if (!Restore(c, strRoot)) {
    std::fprintf(stderr, "  cannot make the store in %s\n", strRoot.c_str());
    return false;
  }
  std::vector<BenchRun> vTool, vFloor;
  BenchOutcome ref;
  int nReps = bench.opt.nReps;
  double dStart = BenchNow();
  for (int nRep = 0; nRep < nReps; ++nRep) {
    BenchRun runTool, runFloor;
    bool bGood = true;
    if (!TimedRun(bench, c, strRoot, true, runTool, ref, bGood) ||
        !TimedRun(bench, c, strRoot, false, runFloor, ref, bGood))
      return false;
    vTool.push_back(runTool);
    vFloor.push_back(runFloor);
    if (!bGood) break;
    if (nRep == 0) nReps = Repetitions(bench.opt, BenchNow() - dStart);
  }
  Summarise(vTool, t.dTool, t.dToolCpu, t.nToolRssKb);
  Summarise(vFloor, t.dFloor, t.dFloorCpu, t.nFloorRssKb);
  t.nReps = static_cast<int>(vTool.size());
  return BenchRemoveTree(strRoot);
}

// ---- The cases --------------------------------------------------------------

BenchStoreShape Shape(const Sizes& s, int nLibs, int nCabs, int nNames,
                      int nUsers) {
  BenchStoreShape shape;
  shape.nLibs = nLibs, shape.nCabs = nCabs, shape.nNames = nNames;
  shape.nUsers = nUsers, shape.nSeed = static_cast<uint64_t>(s.nSeed);
  return shape;
}

// The case of one command word ("set", "cleanup", "list", "listall",
// "report": /report against /listall-authstatus).
Case MakeCase(const std::string& strId, const std::string& strWord,
              const BenchStoreShape& shape) {
  Case c;
  c.strId = strId, c.strFloorWord = strWord, c.shape = shape;
  c.bChanging = strWord == "set" || strWord == "cleanup";
  std::string strUser = BenchUtf8(BenchGrantedUser());
  if (strWord == "set") c.vToolArgs = {"/set", "/rw", strUser};
  if (strWord == "set") c.vFloorArgs = {strUser};
  if (strWord == "cleanup") c.vToolArgs = {"/cleanup"};
  if (strWord == "list") c.vToolArgs = {"/list-authstatus"};
  if (strWord == "listall") c.vToolArgs = {"/listall-authstatus"};
  if (strWord == "report") c.vToolArgs = {"/report"};
  if (strWord == "report") c.vBaseArgs = {"/listall-authstatus"};
  return c;
}

std::string Command(const std::string& strWord) {
  if (strWord == "set") return "/set /rw";
  if (strWord == "cleanup") return "/cleanup";
  if (strWord == "report") return "/report vs /listall";
  return strWord == "list" ? "/list-authstatus" : "/listall-authstatus";
}

std::string Fixed(double d, int nDigits) {
  char szBuf[64];
  std::snprintf(szBuf, sizeof szBuf, "%.*f", nDigits, d);
  return szBuf;
}

std::string Pad(const std::string& str, size_t nWidth) {
  return str.size() >= nWidth ? str + " "
                              : str + std::string(nWidth - str.size(), ' ');
}

std::string Absolute(const Timing& t, const std::string& strWhat) {
  return "  " + Pad(strWhat, 20) + "tool " + Fixed(t.dTool, 3) + " s (cpu " +
         Fixed(t.dToolCpu, 3) + "), floor " + Fixed(t.dFloor, 3) + " s (cpu " +
         Fixed(t.dFloorCpu, 3) + ")";
}

std::string Ratio(double dTool, double dFloor) {
  return dFloor > 0 ? Fixed(dTool / dFloor, 1) : "n/a";
}

// Measures one command and adds its ratios to the report.
bool RatioCase(Bench& bench, const std::string& strWord,
               const std::string& strId, const BenchStoreShape& shape,
               const std::string& strSize, Timing& t) {
  if (!Measure(bench, MakeCase(strId, strWord, shape), t)) return false;
  bench.vRatios.push_back(Pad(Command(strWord), 21) + Pad(strSize, 42) +
                          Pad(std::to_string(t.nReps), 6) +
                          Pad(Ratio(t.dTool, t.dFloor), 8) +
                          Ratio(t.dToolCpu, t.dFloorCpu));
  if (bench.opt.bVerbose) bench.vRatios.push_back(Absolute(t, strId));
  return true;
}

// (t(4x) - t0) / (t(x) - t0): 4 for linear work, 16 for quadratic.
std::string Growth(double dT0, double dT1, double dT4) {
  if (dT1 - dT0 <= 0) return "n/a";
  return Fixed((dT4 - dT0) / (dT1 - dT0), 1);
}

// Measures a command on a tiny store and on stores of size x and 4x, and
// adds the growth of tool and floor to the report.
bool GrowthCase(Bench& bench, const std::string& strWord,
                const std::string& strId, const BenchStoreShape aShapes[3],
                const std::string& strSize) {
  Timing t[3];
  const char* const aSuffix[] = {"-t0", "-1x", "-4x"};
  for (int n = 0; n < 3; ++n)
    if (!Measure(bench, MakeCase(strId + aSuffix[n], strWord, aShapes[n]),
                 t[n]))
      return false;
  bench.vGrowth.push_back(
      Pad(Command(strWord), 21) + Pad(strSize, 42) +
      Pad(Growth(t[0].dTool, t[1].dTool, t[2].dTool), 7) +
      Pad(Growth(t[0].dFloor, t[1].dFloor, t[2].dFloor), 7) +
      Pad(Growth(t[0].dToolCpu, t[1].dToolCpu, t[2].dToolCpu), 7) +
      Growth(t[0].dFloorCpu, t[1].dFloorCpu, t[2].dFloorCpu));
  for (int n = 0; bench.opt.bVerbose && n < 3; ++n)
    bench.vGrowth.push_back(Absolute(t[n], strId + aSuffix[n]));
  return true;
}

std::string N(int n) { return std::to_string(n); }

// Notes the peak memory of the tool's runs and of those in the floor's place.
void MemoryNote(Bench& bench, const std::string& strWhat,
                const std::string& strTool, const std::string& strFloor,
                const Timing& t) {
  double dToolMb = static_cast<double>(t.nToolRssKb) / 1024;
  double dFloorMb = static_cast<double>(t.nFloorRssKb) / 1024;
  bench.vNotes.push_back("peak memory (max RSS) of " + strWhat + ": " +
                         strTool + " " + Fixed(dToolMb, 1) + " MB, " +
                         strFloor + " " + Fixed(dFloorMb, 1) + " MB, ratio " +
                         Ratio(dToolMb, dFloorMb));
}

bool RunSetGroup(Bench& bench, const Sizes& s) {
  Timing t;
  return RatioCase(bench, "set", "set",
                   Shape(s, s.nSetLibs, s.nSetCabs, s.nSetNames, s.nSetUsers),
                   N(s.nSetLibs) + " x " + N(s.nSetCabs) + " cabinets, " +
                       N(s.nSetNames) + " names, " + N(s.nSetUsers) + " users",
                   t);
}

bool RunListGroup(Bench& bench, const Sizes& s) {
  BenchStoreShape shape =
      Shape(s, s.nSetLibs, s.nSetCabs, s.nSetNames, s.nSetUsers);
  std::string strSize = "the /set store";
  Timing t;
  return RatioCase(bench, "list", "list", shape, strSize, t) &&
         RatioCase(bench, "listall", "listall", shape, strSize, t);
}

bool RunCleanupGroup(Bench& bench, const Sizes& s) {
  Timing t;
  if (!RatioCase(bench, "cleanup", "cleanup",
                 Shape(s, 1, s.nCleanCabs, s.nCleanNames, s.nCleanUsers),
                 N(s.nCleanCabs) + " cabinets, " + N(s.nCleanNames) +
                     " names, " + N(s.nCleanUsers) + " users",
                 t))
    return false;
  MemoryNote(bench, "/cleanup with " + N(s.nCleanUsers) + " users", "tool",
             "floor", t);
  return true;
}

bool RunGrowNamesGroup(Bench& bench, const Sizes& s) {
  int n = s.nGrowNames;
  const BenchStoreShape aShapes[3] = {Shape(s, 1, s.nGrowCabs, 4, 40),
                                      Shape(s, 1, s.nGrowCabs, n, 10 * n),
                                      Shape(s, 1, s.nGrowCabs, 4 * n, 40 * n)};
  std::string strSize = N(n) + " -> " + N(4 * n) + " names, users 10n, " +
                        N(s.nGrowCabs) + " cabinets";
  return GrowthCase(bench, "set", "grow-names-set", aShapes, strSize) &&
         GrowthCase(bench, "cleanup", "grow-names-cleanup", aShapes, strSize);
}

bool RunGrowCabinetsGroup(Bench& bench, const Sizes& s) {
  int m = s.nGrowLibCabs;
  const BenchStoreShape aShapes[3] = {Shape(s, 1, 10, 10, 100),
                                      Shape(s, 1, m, 10, 100),
                                      Shape(s, 1, 4 * m, 10, 100)};
  std::string strSize = N(m) + " -> " + N(4 * m) + " cabinets in 1 library";
  return GrowthCase(bench, "list", "grow-cabinets-list", aShapes, strSize) &&
         GrowthCase(bench, "set", "grow-cabinets-set", aShapes, strSize);
}

// /report against /listall-authstatus on the listings' store: the report's
// own cost is its CSV and page.
bool RunReportGroup(Bench& bench, const Sizes& s) {
  Timing t;
  if (!RatioCase(bench, "report", "report",
                 Shape(s, s.nSetLibs, s.nSetCabs, s.nSetNames, s.nSetUsers),
                 "the /set store", t))
    return false;
  MemoryNote(bench, "/report, the /set store", "/report", "/listall-authstatus",
             t);
  return true;
}

// One opening of the page: the drawn time it stamps on its body, and
// Chromium's wall-clock seconds.
struct Opening {
  double dDrawnMs = -1;  // -1: the page never said it was drawn
  double dWall = 0;
};

std::vector<std::string> ChromiumArgs(const std::string& strRoot,
                                      const std::string& strPage) {
  return {"--headless",
          "--no-sandbox",
          "--disable-gpu",
          "--no-first-run",
          "--user-data-dir=" + strRoot + "/chromium-profile",
          "--window-size=1400,900",
          "--virtual-time-budget=10000",
          "--dump-dom",
          "file://" + strPage};
}

// The drawn time the page stamped on its body once drawn; -1 when the
// dumped DOM has no data-ready="1".
double DrawnMs(const std::string& strDom) {
  const char kDrawn[] = "data-drawn-ms=\"";
  size_t nAt = strDom.find(kDrawn);
  if (nAt == std::string::npos ||
      strDom.find("data-ready=\"1\"") == std::string::npos)
    return -1;
  return std::atof(strDom.c_str() + nAt + sizeof kDrawn - 1);
}

// Opens the page with the network off: as root Chromium gets a network
// namespace of its own with no interface up.
bool OpenPage(const Options& opt, const std::string& strRoot,
              const std::string& strPage, Opening& opening) {
  std::string strProgram = opt.strChromium;
  std::vector<std::string> vArgs = ChromiumArgs(strRoot, strPage);
  if (geteuid() == 0) {
    vArgs.insert(vArgs.begin(), {"-n", strProgram});
    strProgram = "/usr/bin/unshare";
  }
  BenchRun run;
  if (!BenchSpawn(strProgram, vArgs, strRoot, {}, strRoot + "/dom.txt",
                  opt.nTimeout, run) ||
      run.nExit != 0)
    return false;
  opening.dWall = run.dWall;
  opening.dDrawnMs = DrawnMs(run.strOutput);
  return true;
}

// The page /report wrote in the store's current folder ("" when none).
std::string PageOf(const std::string& strRoot) {
  for (const std::string& strName : BenchListFiles(BenchCwdDir(strRoot)))
    if (BenchMask(strName) == "report{TS}.html")
      return BenchCwdDir(strRoot) + "/" + strName;
  return "";
}

std::string PageNote(const std::string& strSize, size_t nBytes,
                     const std::vector<double>& vDrawn,
                     const std::vector<double>& vWall) {
  return "/report's page of " + strSize + ": " + std::to_string(nBytes) +
         " bytes, drawn " + Fixed(Median(vDrawn), 0) +
         " ms after navigation start, Chromium " + Fixed(Median(vWall), 2) +
         " s wall (medians of " + std::to_string(vDrawn.size()) + ")";
}

// Opens the page of the store's report once per repetition and notes its
// size, its drawn time and Chromium's time, medians.
bool OpenPages(Bench& bench, const std::string& strRoot,
               const std::string& strSize) {
  std::string strPage = PageOf(strRoot), strData;
  if (strPage.empty() || !BenchReadFile(strPage, strData)) return false;
  std::vector<double> vDrawn, vWall;
  for (int nRep = 0; nRep < bench.opt.nReps; ++nRep) {
    Opening opening;
    if (!OpenPage(bench.opt, strRoot, strPage, opening)) {
      std::fprintf(stderr, "  cannot open the page in %s\n",
                   bench.opt.strChromium.c_str());
      return false;
    }
    if (opening.dDrawnMs < 0) {
      bench.vNotes.push_back("PAGE NOT DRAWN: /report's page of " + strSize +
                             " set no data-ready=\"1\" within the 10 s "
                             "virtual-time budget");
      return false;
    }
    vDrawn.push_back(opening.dDrawnMs);
    vWall.push_back(opening.dWall);
  }
  bench.vNotes.push_back(PageNote(strSize, strData.size(), vDrawn, vWall));
  return true;
}

// Makes the case's store, runs /report once, checked, and opens its page.
bool ReportAndOpen(Bench& bench, const Case& c, const std::string& strSize) {
  std::string strRoot = bench.opt.strWork + "/" + c.strId;
  std::fprintf(stderr, "%s: the page\n", c.strId.c_str());
  BenchRun run;
  BenchOutcome ref;
  return Restore(c, strRoot) && RunOne(bench, c, strRoot, true, run) &&
         CheckRun(bench, c, strRoot, run, ref) &&
         OpenPages(bench, strRoot, strSize) && BenchRemoveTree(strRoot);
}

// /report against /listall-authstatus on a large store, then its page
// opened in headless Chromium.
bool RunPageGroup(Bench& bench, const Sizes& s) {
  if (bench.opt.strChromium.empty() ||
      access(bench.opt.strChromium.c_str(), X_OK) != 0) {
    bench.vNotes.push_back("page SKIPPED: no Chromium at '" +
                           bench.opt.strChromium + "'");
    return true;
  }
  BenchStoreShape shape =
      Shape(s, s.nPageLibs, s.nPageCabs, s.nPageNames, s.nPageUsers);
  std::string strSize = N(s.nPageLibs) + " x " + N(s.nPageCabs) +
                        " cabinets, " + N(s.nPageNames) + " names, " +
                        N(s.nPageUsers) + " users";
  Timing t;
  if (!RatioCase(bench, "report", "page-report", shape, strSize, t))
    return false;
  MemoryNote(bench, "/report, " + strSize, "/report", "/listall-authstatus", t);
  return ReportAndOpen(bench, MakeCase("page-report", "report", shape),
                       strSize);
}

// ---- Options ---------------------------------------------------------------

int Usage() {
  std::printf(
      "usage: rav_runbench [options]\n"
      "  --record DIR   keep the tool's outcomes in DIR as the reference\n"
      "  --check DIR    compare every run of the tool with the reference in "
      "DIR\n"
      "                 (its sizes are those recorded there)\n"
      "  --only G,...   run only these groups: set list report page cleanup\n"
      "                 grow-names grow-cabinets\n"
      "  --quick        moderate sizes\n"
      "  --reps N       repetitions of each case (5); at least 3 are run, "
      "more while\n"
      "  --budget S     a case has taken less than S seconds (60)\n"
      "  --timeout S    kill a run after S seconds (1800)\n"
      "  --tool PATH, --floor PATH\n"
      "  --chromium PATH  opens /report's page (/usr/bin/chromium; \"\" "
      "skips it)\n"
      "  --work DIR     where the stores are made (a new folder in /dev/shm,\n"
      "                 else in $TMPDIR): a disk folder adds the disk's fsync\n"
      "  --verbose      also the absolute times\n"
      "sizes (--NAME N):\n");
  Sizes s;
  for (const SizeOption& o : kSizeOptions)
    std::printf("  --%-24s %d\n", o.pszName, s.*o.pField);
  return 2;
}

bool SetSize(Sizes& s, const std::string& strName,
             const std::string& strValue) {
  for (const SizeOption& o : kSizeOptions) {
    if (strName != o.pszName) continue;
    s.*o.pField = std::atoi(strValue.c_str());
    return s.*o.pField > 0;
  }
  return false;
}

// Takes one option with its value; false for an unknown one.
bool TakeOption(Options& opt, const std::string& strName,
                const std::string& strValue) {
  std::map<std::string, std::string*> mPaths = {
      {"tool", &opt.strTool},   {"floor", &opt.strFloor},
      {"work", &opt.strWork},   {"record", &opt.strRecord},
      {"check", &opt.strCheck}, {"chromium", &opt.strChromium}};
  std::map<std::string, int*> mCounts = {{"reps", &opt.nReps},
                                         {"budget", &opt.nBudget},
                                         {"timeout", &opt.nTimeout}};
  if (mPaths.count(strName)) *mPaths[strName] = strValue;
  if (mCounts.count(strName)) *mCounts[strName] = std::atoi(strValue.c_str());
  if (strName == "only") opt.vOnly = BenchItems(strValue);
  return mPaths.count(strName) || mCounts.count(strName) || strName == "only" ||
         SetSize(opt.sizes, strName, strValue);
}

bool ParseOptions(int argc, char** argv, Options& opt) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--quick") == 0) opt.sizes = QuickSizes();
  for (int i = 1; i < argc; ++i) {
    std::string strArg = argv[i];
    if (strArg == "--quick") continue;
    if (strArg == "--verbose") {
      opt.bVerbose = true;
      continue;
    }
    if (strArg.rfind("--", 0) != 0 || i + 1 >= argc ||
        !TakeOption(opt, strArg.substr(2), argv[++i]))
      return false;
  }
  return opt.nReps > 0 && (opt.strRecord.empty() || opt.strCheck.empty());
}

void Defaults(Options& opt) {
  std::string strSelf = BenchSelfDir();
  if (opt.strTool.empty())
    opt.strTool = strSelf + "/../raverazariduvivi/RaVerAzariduVivi";
  if (opt.strFloor.empty()) opt.strFloor = strSelf + "/rav_floor";
}

// ---- The reference folder's sizes
// --------------------------------------------

bool SaveParams(const std::string& strDir, const Sizes& s) {
  std::string strOut;
  for (const SizeOption& o : kSizeOptions)
    strOut += std::string(o.pszName) + " " + std::to_string(s.*o.pField) + "\n";
  return BenchMakeDirs(strDir) && BenchWriteFile(strDir + "/params", strOut);
}

bool LoadParams(const std::string& strDir, Sizes& s) {
  std::string strData;
  if (!BenchReadFile(strDir + "/params", strData)) return false;
  for (size_t nPos = 0; nPos < strData.size();) {
    size_t nEnd = strData.find('\n', nPos);
    std::string strLine = strData.substr(nPos, nEnd - nPos);
    size_t nSpace = strLine.find(' ');
    if (nSpace == std::string::npos ||
        !SetSize(s, strLine.substr(0, nSpace), strLine.substr(nSpace + 1)))
      return false;
    nPos = nEnd == std::string::npos ? strData.size() : nEnd + 1;
  }
  return true;
}

// Reads the sizes of --check, writes those of --record.
bool PrepareReference(Options& opt) {
  if (!opt.strCheck.empty() && !LoadParams(opt.strCheck, opt.sizes)) {
    std::fprintf(stderr, "no reference in %s (no params file)\n",
                 opt.strCheck.c_str());
    return false;
  }
  if (!opt.strRecord.empty() && !SaveParams(opt.strRecord, opt.sizes)) {
    std::fprintf(stderr, "cannot write %s/params\n", opt.strRecord.c_str());
    return false;
  }
  return true;
}

// The stores go to a memory file system when there is one, so that the
// disk's flush latency, shared with everything else on the machine, does
// not drown the work of the tool itself.
bool MakeWorkDir(Options& opt) {
  if (!opt.strWork.empty()) return BenchMakeDirs(opt.strWork);
  const char* pszTmp = std::getenv("TMPDIR");
  std::string strParent = pszTmp != nullptr ? pszTmp : "/tmp";
  if (access("/dev/shm", W_OK) == 0) strParent = "/dev/shm";
  std::string strTemplate = strParent + "/ravbench.XXXXXX";
  if (mkdtemp(&strTemplate[0]) == nullptr) return false;
  opt.strWork = strTemplate;
  opt.bOwnWork = true;
  return true;
}

bool Wanted(const Options& opt, const std::string& strGroup) {
  return opt.vOnly.empty() || std::find(opt.vOnly.begin(), opt.vOnly.end(),
                                        strGroup) != opt.vOnly.end();
}

bool RunGroups(Bench& bench) {
  using Runner = bool (*)(Bench&, const Sizes&);
  const std::pair<const char*, Runner> kGroups[] = {
      {"set", RunSetGroup},
      {"list", RunListGroup},
      {"report", RunReportGroup},
      {"page", RunPageGroup},
      {"cleanup", RunCleanupGroup},
      {"grow-names", RunGrowNamesGroup},
      {"grow-cabinets", RunGrowCabinetsGroup}};
  bool bOk = true;
  for (const auto& group : kGroups)
    if (Wanted(bench.opt, group.first))
      bOk = group.second(bench, bench.opt.sizes) && bOk;
  return bOk;
}

std::string CheckSummary(const Bench& bench) {
  const Options& opt = bench.opt;
  std::string strHow = "each case's first run (no --record or --check)";
  if (!opt.strRecord.empty())
    strHow = "the reference recorded in " + opt.strRecord;
  if (!opt.strCheck.empty()) strHow = "the reference in " + opt.strCheck;
  if (bench.nFailed > 0)
    return "CHECK FAILED: " + std::to_string(bench.nFailed) + " of " +
           std::to_string(bench.nChecked) + " runs of the tool differ from " +
           strHow;
  return "checked: " + std::to_string(bench.nChecked) +
         " runs of the tool (exit code, closing message, result records, every "
         "file of the data folder, /report's CSV) match " +
         strHow;
}

void PrintLines(const char* pszHead, const std::vector<std::string>& vLines) {
  if (vLines.empty()) return;
  std::printf("\n%s%s", pszHead, *pszHead != '\0' ? "\n" : "");
  for (const std::string& strLine : vLines)
    std::printf("%s\n", strLine.c_str());
}

void PrintReport(const Bench& bench) {
  std::printf("work folder %s (%s)\n", bench.opt.strWork.c_str(),
              BenchIsMemoryFs(bench.opt.strWork)
                  ? "in memory: fsync costs next to nothing"
                  : "on a disk: fsync waits for it");
  std::printf(
      "tool / floor, medians of wall-clock and of CPU (user + system) "
      "time;\nthe CPU time is less disturbed by other load on the machine\n");
  PrintLines(
      "command              store                                     "
      "reps  wall    cpu",
      bench.vRatios);
  PrintLines(
      "growth (t(4x) - t0) / (t(x) - t0), t0 a tiny store: 4 linear, 16 "
      "quadratic\ncommand              sizes                             "
      "        wall:tool floor  cpu:tool floor",
      bench.vGrowth);
  PrintLines("", bench.vNotes);
  std::printf("\n%s\n", CheckSummary(bench).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Bench bench;
  if (!ParseOptions(argc, argv, bench.opt)) return Usage();
  Defaults(bench.opt);
  if (!PrepareReference(bench.opt) || !MakeWorkDir(bench.opt)) return 2;
  double dStart = BenchNow();
  bool bOk = RunGroups(bench);
  PrintReport(bench);
  std::printf("(%.0f s in all)\n", BenchNow() - dStart);
  if (bench.opt.bOwnWork) BenchRemoveTree(bench.opt.strWork);
  return bOk && bench.nFailed == 0 ? 0 : 1;
}
