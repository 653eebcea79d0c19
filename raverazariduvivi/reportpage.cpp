#include "reportpage.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "platform/platform.h"
#include "raverazariduvivi_common.h"
#include "raverazariduvivi_result.h"

// The page template of the build (report_page.html), as bytes.
extern const char kReportPageTemplate[];
extern const size_t kReportPageTemplateSize;

namespace {

const char kDataLine[] = "<!--REPORT-DATA-->";
const int kKindUnregistered = 0, kKindRegistered = 1, kKindViewer = 2,
          kKindAdmin = 3;

// Returns UTF-8 text as a JSON string; "<", ">" and "&" as \u escapes.
std::string JsonString(const std::string& strUtf8) {
  std::string strOut = "\"";
  for (unsigned char ch : strUtf8) {
    if (ch == '"' || ch == '\\') {
      strOut += '\\';
      strOut += static_cast<char>(ch);
    } else if (ch < 0x20 || ch == '<' || ch == '>' || ch == '&') {
      char szEscape[8];
      std::snprintf(szEscape, sizeof szEscape, "\\u%04x", ch);
      strOut += szEscape;
    } else {
      strOut += static_cast<char>(ch);
    }
  }
  return strOut + "\"";
}

std::string Text(const std::string& strAnsi) {
  return JsonString(PlatAnsiToUtf8(strAnsi));
}

// A cabinet without access lists carries only the rows that changed.
bool RowShown(const ReportCabinet& cabinet, const ReportRow& row) {
  if (cabinet.nState != kReportNoLists) return true;
  return row.nBefore != kReportNoBefore && row.nBefore != row.nNow;
}

// The page's side: admin, User.ini's names, the names no one registered
// (first seen first), the general viewer; each name's side row by its place
// in the report's names.
struct Users {
  std::vector<std::pair<size_t, int>> vUsers;  // name and kind
  std::vector<size_t> vRow;

  void Add(size_t nUser, int nKind) {
    if (vRow[nUser] != kNoRow) return;
    vRow[nUser] = vUsers.size();
    vUsers.emplace_back(nUser, nKind);
  }
  static constexpr size_t kNoRow = static_cast<size_t>(-1);
};

int KindOf(const std::string& strUser) {
  if (strUser == kGeneralViewerName) return kKindViewer;
  return MbEqualNoCase(strUser, kAdminName) ? kKindAdmin : kKindUnregistered;
}

Users SideOf(const Report& report) {
  Users side;
  side.vRow.assign(report.vNames.size(), Users::kNoRow);
  side.Add(report.nAdmin, kKindAdmin);
  for (size_t nUser : report.vRegistered)
    side.Add(nUser, KindOf(report.vNames[nUser]) == kKindAdmin
                        ? kKindAdmin
                        : kKindRegistered);
  // Rows the page does not carry name no one new: those of a cabinet
  // without lists are the registered users and the general viewer.
  for (const ReportCabinet& cabinet : report.vCabinets)
    for (const ReportRow& row : cabinet.vRows)
      if (row.nUser != report.nViewer && RowShown(cabinet, row))
        side.Add(row.nUser, KindOf(report.vNames[row.nUser]));
  side.Add(report.nViewer, kKindViewer);
  return side;
}

std::string UsersJson(const Report& report, const Users& users) {
  std::string strJson;
  for (const auto& user : users.vUsers) {
    std::string strName = user.second == kKindViewer
                              ? kGeneralViewerText
                              : report.vNames[user.first];
    strJson += (strJson.empty() ? "[" : ",") + std::string("[") +
               Text(strName) + "," + std::to_string(user.second) + "]";
  }
  return strJson + "]";
}

int StateOf(const ReportCabinet& cabinet) {
  return cabinet.nState + (cabinet.bAdded ? 8 : 0);
}

std::string CabinetJson(const ReportCabinet& cabinet, size_t nLib,
                        const Users& users) {
  std::string strRows;
  for (const ReportRow& row : cabinet.vRows) {
    if (!RowShown(cabinet, row)) continue;
    strRows += (strRows.empty() ? "" : ",") +
               std::to_string(users.vRow[row.nUser]) + "," +
               std::to_string(row.nNow) + "," + std::to_string(row.nBefore);
  }
  return "[" + std::to_string(nLib) + "," + Text(cabinet.strCab) + "," +
         std::to_string(StateOf(cabinet)) + ",[" + strRows + "]," +
         Text(cabinet.strMessage) + "]";
}

std::string LibsJson(const Report& report,
                     std::map<std::string, size_t>& mLib) {
  std::string strJson;
  for (const std::string& strLib : report.vLibs) {
    if (!mLib.emplace(MbLower(strLib), mLib.size()).second) continue;
    strJson += (strJson.empty() ? "" : ",") + Text(strLib);
  }
  return "[" + strJson + "]";
}

std::string PlacesJson(const std::vector<ReportPlace>& vPlaces, bool bCabinet) {
  std::string strJson;
  for (const ReportPlace& place : vPlaces)
    strJson += (strJson.empty() ? "[" : ",[") + Text(place.strLib) + "," +
               Text(bCabinet ? place.strCab : place.strMessage) + "]";
  return "[" + strJson + "]";
}

}  // namespace

std::string ReportJson(const Report& report) {
  Users users = SideOf(report);
  std::map<std::string, size_t> mLib;
  std::string strLibs = LibsJson(report, mLib);
  std::string strCabs;
  for (const ReportCabinet& cabinet : report.vCabinets)
    strCabs += (strCabs.empty() ? "" : ",\n") +
               CabinetJson(cabinet, mLib.at(MbLower(cabinet.strLib)), users);
  return "{\"version\":1,\"time\":" + Text(report.strTime) +
         ",\"data\":" + Text(report.strData) +
         ",\"scope\":" + Text(report.strScope) +
         ",\"since\":" + Text(report.strSince) +
         ",\"users\":" + UsersJson(report, users) + ",\"libs\":" + strLibs +
         ",\"cabs\":[\n" + strCabs +
         "],\"gone\":" + PlacesJson(report.vGone, true) +
         ",\"libfail\":" + PlacesJson(report.vLibFailures, false) + "}";
}

std::string ReportPage(const Report& report) {
  std::string strPage(kReportPageTemplate, kReportPageTemplateSize);
  // A template without the line (a build's own fault) still gets the data,
  // at its end.
  size_t nAt = std::min(strPage.find(kDataLine), strPage.size());
  std::string strData =
      "<script id=\"report-data\" type=\"application/json\">" +
      ReportJson(report) + "</script>";
  return strPage.replace(nAt, sizeof kDataLine - 1, strData);
}
