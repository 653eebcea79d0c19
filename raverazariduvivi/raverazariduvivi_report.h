// /report: the access report of a listing of every cabinet, written beside
// the run's result file as report<timestamp>.csv (CP932, for spreadsheets)
// and report<timestamp>.html (one page that works offline); with /since,
// marked against an earlier report<timestamp>.csv of the current directory.
//
// The CSV has a header row and one row per cabinet and name, in the order
// of the walk and of the lists, with the columns library, cabinet, user
// (the general viewer as "一般閲覧者"), access (RW, W, R), registered (yes,
// no; built-in for admin and the general viewer), note ("no access lists";
// "failed: " and the record's message) and, against an earlier report,
// change ("added", "removed", "changed from X", "unchanged"; empty where
// nothing can be compared). A removed row gives the access the name had.
// A library whose cabinet list failed has a row without cabinet.
//
// Results:
//   ReportLoadSince  1 loaded; -1 the file is missing, unreadable, not the
//                    account's own, or no report of this form (strFileName
//                    gets its name either way)
//   ReportWrite      1 both files written; -1 a file could not be written
//                    and neither is left (strFileName names it); -2 the
//                    registered users could not be read
#pragma once

#include <string>
#include <vector>

#include "reportmodel.h"

// Starts collecting a report of the walk over the scope ("" or a library,
// and "" or a cabinet), made at strTime.
void ReportStart(const std::string& strTime, const std::string& strLib,
                 const std::string& strCab);

// Returns true iff the run collects a report.
bool ReportOn();

// Notes a library the walk visits.
void ReportLibrary(const std::string& strLib);

// Notes a library whose cabinet list failed ("" for the library list).
void ReportLibraryFailed(const std::string& strLib, const std::string& strMsg);

// Adds a cabinet as the listing found it: its state (kReportLists and so
// on), a failed one's message, its names and their access.
void ReportCabinetListed(const std::string& strLib, const std::string& strCab,
                         int nState, const std::string& strMessage,
                         const std::vector<ReportAccess>& vAccess);

// Reads the earlier report report<strStamp>.csv to compare with.
int ReportLoadSince(const std::string& strStamp, std::string& strFileName);

// Writes both files of the run strStamp; strCsvName and strHtmlName get
// their names.
int ReportWrite(const std::string& strStamp, std::string& strCsvName,
                std::string& strHtmlName, std::string& strFileName);
