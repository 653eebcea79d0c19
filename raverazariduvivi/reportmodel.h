// What an access report holds: every cabinet the walk listed or failed,
// each name's access now and, for a report made against an earlier one,
// then. The listing fills it (raverazariduvivi_report.h); the CSV and the
// page are drawn from it.
#pragma once

#include <string>
#include <vector>

// The general viewer's name in a report.
extern const char kReportViewerName[];

// A cabinet's state in a report.
constexpr int kReportLists = 0;    // it has access lists
constexpr int kReportNoLists = 1;  // no access lists: full access for all
constexpr int kReportFailed = 2;   // its lists could not be read

// Access "before" of a row that has nothing to be compared with: no
// earlier report, a cabinet new since then, or one that failed in either.
constexpr int kReportNoBefore = -1;

// One name in a cabinet: its spelling in the lists (the general viewer's
// list name for the general viewer) and its access (kLogNone, kLogW, kLogR,
// kLogRW) now and before. A row with nNow kLogNone is a name that had
// access before and has none now.
struct ReportRow {
  std::string strUser;
  int nNow = 0;
  int nBefore = kReportNoBefore;
};

struct ReportCabinet {
  std::string strLib, strCab;
  int nState = kReportLists;
  std::string strMessage;  // a failed cabinet's record message
  bool bAdded = false;     // not in the earlier report
  std::vector<ReportRow> vRows;
};

// A library whose cabinet list could not be read ("" for the library list
// itself), or a cabinet of the earlier report that is gone.
struct ReportPlace {
  std::string strLib, strCab, strMessage;
};

struct Report {
  std::string strTime;   // the run's start, "YYYY/MM/DD hh:mm:ss"
  std::string strData;   // the data folder
  std::string strScope;  // "", "library" or "library/cabinet"
  std::string strSince;  // the earlier report's time; "" without one
  std::vector<std::string> vRegistered;  // User.ini's names, in its order
  std::vector<std::string> vLibs;        // libraries visited, in order
  std::vector<ReportCabinet> vCabinets;  // in walk order
  std::vector<ReportPlace> vLibFailures;
  std::vector<ReportPlace> vGone;
};
