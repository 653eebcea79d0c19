// What an access report holds: every cabinet the walk listed or failed,
// each name's access now and, for a report made against an earlier one,
// then. The listing fills it (raverazariduvivi_report.h); the CSV and the
// page are drawn from it.
#pragma once

#include <string>
#include <vector>

// A cabinet's state in a report.
constexpr int kReportLists = 0;    // it has access lists
constexpr int kReportNoLists = 1;  // no access lists: full access for all
constexpr int kReportFailed = 2;   // its lists could not be read

// Access "before" of a row that has nothing to be compared with: no
// earlier report, a cabinet new since then, or one that failed in either.
constexpr int kReportNoBefore = -1;

// A name as the listing found it in a cabinet: its spelling in the lists
// (the general viewer's list name for the general viewer) and its access
// (kLogW, kLogR, kLogRW).
struct ReportAccess {
  std::string strUser;
  int nAccess = 0;
};

// One name in a cabinet: its place in Report::vNames and its access (kLogNone
// or one of the above) now and before. A row with nNow kLogNone is a name
// that had access before and has none now. Names are held once, so that a
// report of millions of rows stays small and each name is looked up once.
struct ReportRow {
  size_t nUser = 0;
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
  std::string strTime;              // the run's start, "YYYY/MM/DD hh:mm:ss"
  std::string strData;              // the data folder
  std::string strScope;             // "", "library" or "library/cabinet"
  std::string strSince;             // the earlier report's time; "" without one
  std::vector<std::string> vNames;  // every name of a row, once
  std::vector<size_t> vRegistered;  // User.ini's names, in its order
  size_t nAdmin = 0, nViewer = 0;   // admin and the general viewer
  std::vector<std::string> vLibs;   // libraries visited, in order
  std::vector<ReportCabinet> vCabinets;  // in walk order
  std::vector<ReportPlace> vLibFailures;
  std::vector<ReportPlace> vGone;
};
