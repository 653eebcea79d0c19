#include "raverazariduvivi_progress.h"

#include <chrono>

#include "checklibcab.h"
#include "commonproc.h"
#include "platform/platform.h"
#include "raverazariduvivi_result.h"

namespace {

ProgressLine g_progressLine;

// The run only measures intervals, so a clock that never jumps serves.
long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch())
      .count();
}

// A console that refuses a write gets no more of the line.
void Show(const std::string& strText) {
  if (strText.empty()) return;
  if (!PlatWriteConsole(strText)) g_progressLine = ProgressLine();
}

size_t CountCabinets(const std::string& strLib, const std::string& strCabname) {
  if (!strCabname.empty()) return 1;
  std::string strCabinetList;
  if (GetCabinetList(strLib, strCabinetList) != 1) return 0;
  return NamesOf(strCabinetList).size();
}

// Counts what the walk will visit from the same lists it reads; a listed
// library whose folder is missing still counts, which only makes the line
// end short of its total.
size_t CountWalk(const std::string& strLibname, const std::string& strCabname) {
  std::string strLibraryList = strLibname + ",";
  if (strLibname.empty() && GetLibraryList(strLibraryList) != 1) return 0;
  size_t nTotal = 0;
  for (const std::string& strLib : NamesOf(strLibraryList))
    nTotal += CountCabinets(strLib, strCabname);
  return nTotal;
}

}  // namespace

std::string ProgressText(size_t nPosition, size_t nTotal, int nErrors) {
  return "処理中 " + std::to_string(nPosition) + "/" + std::to_string(nTotal) +
         " キャビネット（エラー " + std::to_string(nErrors) + "）";
}

// The counts never go down, so a new text covers the old one entirely.
std::string ProgressAdvance(ProgressLine& line, long long nNowMs, int nErrors) {
  if (line.nTotal == 0) return "";
  ++line.nPosition;
  if (line.nShownMs >= 0 && nNowMs - line.nShownMs < kProgressIntervalMs)
    return "";
  line.nShownMs = nNowMs;
  std::string strText = ProgressText(line.nPosition, line.nTotal, nErrors);
  line.nWidth = strText.size();
  return "\r" + strText;
}

// A CP932 character of two bytes takes two columns on a terminal, one of one
// byte one, so the line's width is its byte count.
std::string ProgressErase(ProgressLine& line) {
  size_t nWidth = line.nWidth;
  line = ProgressLine();
  return nWidth == 0 ? "" : "\r" + std::string(nWidth, ' ') + "\r";
}

void ProgressStart(size_t nTotal) {
  g_progressLine = ProgressLine();
  if (nTotal > kProgressMinCabinets && PlatConsoleIsTerminal())
    g_progressLine.nTotal = nTotal;
}

void ProgressStartWalk(const std::string& strLibname,
                       const std::string& strCabname) {
  g_progressLine = ProgressLine();
  if (PlatConsoleIsTerminal()) ProgressStart(CountWalk(strLibname, strCabname));
}

void ProgressStep() {
  Show(ProgressAdvance(g_progressLine, NowMs(), g_nErrorCabinetCount));
}

void ProgressEnd() { Show(ProgressErase(g_progressLine)); }
