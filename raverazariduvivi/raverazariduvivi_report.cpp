#include "raverazariduvivi_report.h"

#include <map>
#include <unordered_map>
#include <utility>

#include "checklogic.h"
#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "iniaccess.h"
#include "platform/platform.h"
#include "raverazariduvivi_common.h"
#include "raverazariduvivi_result.h"
#include "raverazariduvivi_trace.h"
#include "reportcsv.h"
#include "reportpage.h"

namespace {

const char kNoListsNote[] = "no access lists";
const char kFailedNote[] = "failed: ";
const char* const kHeader[] = {"library",    "cabinet", "user",  "access",
                               "registered", "note",    "change"};
const size_t kBaseColumns = 6;

// A cabinet of the earlier report.
struct EarlierCabinet {
  std::string strLib, strCab;
  bool bFailed = false;
  bool bMatched = false;
  std::vector<ReportRow> vRows;  // nNow holds the access it had
};

// The earlier report: its cabinets by key, in its order, and the libraries
// it could not list ("" when it could not list the libraries).
struct Earlier {
  std::map<std::string, size_t> mIndex;
  std::vector<EarlierCabinet> vCabinets;
  std::vector<std::string> vFailedLibs;
};

bool g_bOn = false;
Report g_report;
std::string g_strScopeLib, g_strScopeCab;
Earlier g_earlier;
std::unordered_map<std::string, size_t> g_mNames;

// Returns the place of the name in the report's names, adding it the first
// time.
size_t NameOf(const std::string& strUser) {
  auto inserted = g_mNames.emplace(strUser, g_report.vNames.size());
  if (inserted.second) g_report.vNames.push_back(strUser);
  return inserted.first->second;
}

// Library and cabinet names are the file system's, which ignores case.
std::string Key(const std::string& strLib, const std::string& strCab) {
  return MbLower(strLib) + "/" + MbLower(strCab);
}

// True iff the run compares with an earlier report (ReportLoadSince).
bool Since() { return !g_report.strSince.empty(); }

bool InScope(const std::string& strLib, const std::string& strCab) {
  if (g_strScopeLib.empty()) return true;
  return MbEqualNoCase(strLib, g_strScopeLib) &&
         (g_strScopeCab.empty() || MbEqualNoCase(strCab, g_strScopeCab));
}

int AccessOfText(const std::string& strText) {
  for (int nAccess : {kLogRW, kLogW, kLogR})
    if (strText == AccessWord(nAccess)) return nAccess;
  return -1;
}

}  // namespace

void ReportStart(const std::string& strTime, const std::string& strLib,
                 const std::string& strCab) {
  g_bOn = true;
  g_report = Report();
  g_mNames.clear();
  g_report.strTime = strTime;
  g_report.strData = g_strDataPath;
  g_report.strScope = strCab.empty() ? strLib : strLib + "/" + strCab;
  g_strScopeLib = strLib;
  g_strScopeCab = strCab;
}

bool ReportOn() { return g_bOn; }

void ReportLibrary(const std::string& strLib) {
  if (g_bOn) g_report.vLibs.push_back(strLib);
}

void ReportLibraryFailed(const std::string& strLib, const std::string& strMsg) {
  if (g_bOn) g_report.vLibFailures.push_back({strLib, "", strMsg});
}

void ReportCabinetListed(const std::string& strLib, const std::string& strCab,
                         int nState, const std::string& strMessage,
                         const std::vector<ReportAccess>& vAccess) {
  if (!g_bOn) return;
  g_report.vCabinets.push_back({strLib, strCab, nState, strMessage, false, {}});
  std::vector<ReportRow>& vRows = g_report.vCabinets.back().vRows;
  vRows.reserve(vAccess.size());
  for (const ReportAccess& access : vAccess)
    vRows.push_back({NameOf(access.strUser), access.nAccess});
}

// ---- The earlier report -----------------------------------------------------

namespace {

bool IsHeader(const std::vector<std::string>& vRecord) {
  if (vRecord.size() != kBaseColumns && vRecord.size() != kBaseColumns + 1)
    return false;
  for (size_t i = 0; i < vRecord.size(); ++i)
    if (vRecord[i] != kHeader[i]) return false;
  return true;
}

EarlierCabinet& EarlierOf(Earlier& earlier, const std::string& strLib,
                          const std::string& strCab) {
  auto inserted =
      earlier.mIndex.emplace(Key(strLib, strCab), earlier.vCabinets.size());
  if (inserted.second) {
    earlier.vCabinets.emplace_back();
    earlier.vCabinets.back().strLib = strLib;
    earlier.vCabinets.back().strCab = strCab;
  }
  return earlier.vCabinets[inserted.first->second];
}

// Takes one row of the earlier report; false when it is none of ours.
bool TakeRow(const std::vector<std::string>& vRow, Earlier& earlier) {
  const std::string &strLib = vRow[0], &strCab = vRow[1], &strUser = vRow[2];
  bool bFailed = vRow[5].compare(0, sizeof kFailedNote - 1, kFailedNote) == 0;
  if (vRow.size() > kBaseColumns && vRow[6] == "removed") return true;
  if (bFailed && strCab.empty()) {
    earlier.vFailedLibs.push_back(strLib);
    return strUser.empty();
  }
  if (strCab.empty()) return false;
  EarlierCabinet& cabinet = EarlierOf(earlier, strLib, strCab);
  if (bFailed) {
    cabinet.bFailed = true;
    return strUser.empty();
  }
  int nAccess = AccessOfText(vRow[3]);
  if (strUser.empty() || nAccess < 0) return false;
  bool bViewer = strUser == kGeneralViewerText && vRow[4] == "built-in";
  cabinet.vRows.push_back(
      {NameOf(bViewer ? kGeneralViewerName : strUser), nAccess});
  return true;
}

bool ParseEarlier(const std::string& strData, Earlier& earlier) {
  std::vector<std::vector<std::string>> vRecords;
  if (ParseCsv(strData, vRecords) != 1 || vRecords.empty() ||
      !IsHeader(vRecords[0]))
    return false;
  for (size_t i = 1; i < vRecords.size(); ++i)
    if (vRecords[i].size() != vRecords[0].size() ||
        !TakeRow(vRecords[i], earlier))
      return false;
  return true;
}

}  // namespace

int ReportLoadSince(const std::string& strStamp, std::string& strFileName) {
  TRACE("Start ReportLoadSince()");
  strFileName = "report" + strStamp + ".csv";
  std::string strDir, strData;
  g_earlier = Earlier();
  if (!GetUsableCurrentDirectory(strDir) ||
      MyReadFile(JoinPath(strDir, strFileName), strData, true) != kPlatReadOk)
    return -1;
  if (!ParseEarlier(strData, g_earlier)) {
    TRACE_VALUE("The earlier report is damaged", strFileName);
    return -1;
  }
  g_report.strSince = DisplayTime(strStamp);
  return 1;
}

// ---- Comparing --------------------------------------------------------------

namespace {

// True iff the earlier report could list strLib's cabinets.
bool EarlierListed(const std::string& strLib) {
  for (const std::string& strFailed : g_earlier.vFailedLibs)
    if (strFailed.empty() || MbEqualNoCase(strFailed, strLib)) return false;
  return true;
}

// True iff this walk could list strLib's cabinets.
bool NowListed(const std::string& strLib) {
  for (const ReportPlace& failed : g_report.vLibFailures)
    if (failed.strLib.empty() || MbEqualNoCase(failed.strLib, strLib))
      return false;
  return true;
}

// Gives each row its access then, and adds a row for each name that had
// access and is gone.
void CompareRows(ReportCabinet& cabinet, EarlierCabinet& earlier) {
  std::unordered_map<size_t, int> mBefore;
  for (const ReportRow& row : earlier.vRows)
    mBefore.emplace(row.nUser, row.nNow);
  for (ReportRow& row : cabinet.vRows) {
    auto it = mBefore.find(row.nUser);
    row.nBefore = it == mBefore.end() ? kLogNone : it->second;
  }
  std::unordered_map<size_t, int> mNow;
  for (const ReportRow& row : cabinet.vRows) mNow.emplace(row.nUser, 0);
  for (const ReportRow& row : earlier.vRows)
    if (mNow.emplace(row.nUser, 0).second)
      cabinet.vRows.push_back({row.nUser, kLogNone, row.nNow});
}

void CompareCabinet(ReportCabinet& cabinet) {
  auto it = g_earlier.mIndex.find(Key(cabinet.strLib, cabinet.strCab));
  if (it == g_earlier.mIndex.end()) {
    cabinet.bAdded = EarlierListed(cabinet.strLib);
    return;
  }
  EarlierCabinet& earlier = g_earlier.vCabinets[it->second];
  earlier.bMatched = true;
  if (!earlier.bFailed && cabinet.nState != kReportFailed)
    CompareRows(cabinet, earlier);
}

// Marks every cabinet against the earlier report and lists the cabinets of
// the scope that are gone; a library this walk could not list has none.
void Compare() {
  for (ReportCabinet& cabinet : g_report.vCabinets) CompareCabinet(cabinet);
  for (const EarlierCabinet& earlier : g_earlier.vCabinets)
    if (!earlier.bMatched && InScope(earlier.strLib, earlier.strCab) &&
        NowListed(earlier.strLib))
      g_report.vGone.push_back({earlier.strLib, earlier.strCab, ""});
}

// ---- The files --------------------------------------------------------------

// A report file on its way: written beside its name (strPath + ".new") in
// pieces, then renamed into place, so that a kill never leaves part of a
// report under its name (a later /since would take it for the store).
struct NewFile {
  std::string strPath;
  PlatFileHandle pFile;
  std::string strBuffer;
  bool bOk = false;
};

// The buffer goes out once it holds this much, so that a large report is
// never held whole.
constexpr size_t kFilePiece = 1 << 20;

// Starts the file; false when anything stands at its name already (left
// alone) or the file beside it cannot be made.
bool OpenNew(NewFile& file, const std::string& strPath) {
  file.strPath = strPath;
  if (MyGetFileKind(strPath) != kPlatMissing) {
    TRACE_VALUE("The report file's name is taken", strPath);
    return false;
  }
  std::string strNew = strPath + ".new";
  if (MyDeleteFile(strNew)) file.pFile = PlatCreateFile(strNew);
  file.bOk = file.pFile != nullptr;
  if (!file.bOk) TRACE_ERROR("The report file cannot be created.");
  return file.bOk;
}

// Writes out the buffer once it holds more than nKeep bytes.
void Drain(NewFile& file, size_t nKeep) {
  if (file.strBuffer.size() <= nKeep) return;
  file.bOk = file.bOk && PlatWrite(file.pFile.get(), file.strBuffer);
  file.strBuffer.clear();
}

// Writes the rest, flushes and puts the file in place; false (nothing left
// beside the name) when any of it failed.
bool Publish(NewFile& file) {
  std::string strNew = file.strPath + ".new";
  Drain(file, 0);
  bool bOk = file.bOk && PlatSync(file.pFile.get());
  bOk = file.pFile != nullptr && PlatClose(file.pFile) && bOk;
  if (bOk && PlatReplaceFile(strNew, file.strPath) == kPlatReplaced)
    return true;
  TRACE_ERROR("The report file cannot be written.");
  MyDeleteFile(strNew);
  return false;
}

// ---- The CSV ----------------------------------------------------------------

const char* RegisteredText(const std::string& strUser,
                           const UserListIndex& registered) {
  if (strUser == kGeneralViewerName) return "built-in";
  if (IsInUserList(registered, strUser)) return "yes";
  return MbEqualNoCase(strUser, kAdminName) ? "built-in" : "no";
}

std::string ChangeText(const ReportCabinet& cabinet, const ReportRow& row) {
  if (cabinet.bAdded) return "added";
  if (row.nBefore == kReportNoBefore) return "";
  if (row.nNow == kLogNone) return "removed";
  if (row.nBefore == kLogNone) return "added";
  if (row.nBefore == row.nNow) return "unchanged";
  return std::string("changed from ") + AccessWord(row.nBefore);
}

std::string NoteOf(const ReportCabinet& cabinet) {
  if (cabinet.nState == kReportNoLists) return kNoListsNote;
  if (cabinet.nState == kReportFailed) return kFailedNote + cabinet.strMessage;
  return "";
}

void AddLine(std::string& strCsv, std::vector<std::string> vFields,
             const std::string& strChange) {
  if (Since()) vFields.push_back(strChange);
  strCsv += CsvLine(vFields);
}

// The fields a cabinet's rows share: its place at the front, its note.
struct CabinetFields {
  std::string strPlace;  // "library,cabinet," as CSV
  std::string strNote;   // as CSV
};

CabinetFields FieldsOf(const ReportCabinet& cabinet) {
  CabinetFields fields;
  CsvAppendField(fields.strPlace, cabinet.strLib);
  fields.strPlace += ',';
  CsvAppendField(fields.strPlace, cabinet.strCab);
  fields.strPlace += ',';
  CsvAppendField(fields.strNote, NoteOf(cabinet));
  return fields;
}

// The fields of each name of the report, made once: "user,access," is
// written as user field, access word, registered word.
struct NameFields {
  std::string strUser;  // as CSV, the general viewer by its report name
  const char* pszRegistered;
};

std::vector<NameFields> FieldsOfNames(const UserListIndex& registered) {
  std::vector<NameFields> vFields;
  for (const std::string& strUser : g_report.vNames) {
    NameFields fields{"", RegisteredText(strUser, registered)};
    bool bViewer = strUser == kGeneralViewerName;
    CsvAppendField(fields.strUser, bViewer ? kGeneralViewerText : strUser);
    vFields.push_back(fields);
  }
  return vFields;
}

// One row, appended field by field: the hot loop of a large report. The
// access, registered and change words need no quoting.
void AddRow(std::string& strCsv, const CabinetFields& fields,
            const ReportCabinet& cabinet, const ReportRow& row,
            const std::vector<NameFields>& vNames) {
  int nShown = row.nNow == kLogNone ? row.nBefore : row.nNow;
  const NameFields& name = vNames[row.nUser];
  (strCsv += fields.strPlace) += name.strUser;
  ((strCsv += ',') += AccessWord(nShown)) += ',';
  (strCsv += name.pszRegistered) += ',';
  strCsv += fields.strNote;
  if (Since()) (strCsv += ',') += ChangeText(cabinet, row);
  strCsv += "\r\n";
}

void AddCabinet(std::string& strCsv, const ReportCabinet& cabinet,
                const std::vector<NameFields>& vNames) {
  if (cabinet.nState == kReportFailed)
    AddLine(strCsv,
            {cabinet.strLib, cabinet.strCab, "", "", "", NoteOf(cabinet)}, "");
  CabinetFields fields = FieldsOf(cabinet);
  for (const ReportRow& row : cabinet.vRows)
    AddRow(strCsv, fields, cabinet, row, vNames);
}

// The rows of a gone cabinet, each as removed.
void AddGone(std::string& strCsv, const ReportPlace& gone,
             const std::vector<NameFields>& vNames) {
  const EarlierCabinet& earlier =
      g_earlier.vCabinets[g_earlier.mIndex.at(Key(gone.strLib, gone.strCab))];
  ReportCabinet cabinet;
  cabinet.strLib = gone.strLib;
  cabinet.strCab = gone.strCab;
  for (const ReportRow& row : earlier.vRows)
    cabinet.vRows.push_back({row.nUser, kLogNone, row.nNow});
  AddCabinet(strCsv, cabinet, vNames);
}

// Writes the CSV into the file, a piece at a time.
void WriteCsv(NewFile& file, const UserListIndex& registered) {
  std::vector<NameFields> vNames = FieldsOfNames(registered);
  AddLine(file.strBuffer, {kHeader, kHeader + kBaseColumns},
          kHeader[kBaseColumns]);
  for (const ReportCabinet& cabinet : g_report.vCabinets) {
    AddCabinet(file.strBuffer, cabinet, vNames);
    Drain(file, kFilePiece);
  }
  for (const ReportPlace& failed : g_report.vLibFailures)
    AddLine(file.strBuffer,
            {failed.strLib, "", "", "", "", kFailedNote + failed.strMessage},
            "");
  for (const ReportPlace& gone : g_report.vGone) {
    AddGone(file.strBuffer, gone, vNames);
    Drain(file, kFilePiece);
  }
}

}  // namespace

int ReportWrite(const std::string& strStamp, std::string& strCsvName,
                std::string& strHtmlName, std::string& strFileName) {
  TRACE("Start ReportWrite()");
  strCsvName = "report" + strStamp + ".csv";
  strHtmlName = "report" + strStamp + ".html";
  const UserListIndex* pRegistered = nullptr;
  if (GetRegisteredUsers(g_strDataPath, pRegistered) != 1) return -2;
  for (const std::string& strUser : NamesOf(pRegistered->strList))
    g_report.vRegistered.push_back(NameOf(strUser));
  g_report.nAdmin = NameOf(kAdminName);
  g_report.nViewer = NameOf(kGeneralViewerName);
  if (Since()) Compare();
  std::string strDir;
  strFileName = strCsvName;
  if (!GetUsableCurrentDirectory(strDir)) return -1;
  NewFile csv, html;
  if (!OpenNew(csv, JoinPath(strDir, strCsvName))) return -1;
  WriteCsv(csv, *pRegistered);
  if (!Publish(csv)) return -1;
  strFileName = strHtmlName;
  if (OpenNew(html, JoinPath(strDir, strHtmlName))) {
    html.strBuffer = ReportPage(g_report);
    // The folder is flushed too: files the run names must outlast a power
    // cut.
    if (Publish(html) && PlatSyncFolderOf(csv.strPath)) return 1;
    MyDeleteFile(html.strPath);
  }
  MyDeleteFile(csv.strPath);
  return -1;
}
