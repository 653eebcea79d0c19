#include "reportcsv.h"

#include <cstring>

namespace {

// True iff a spreadsheet would read the field as a formula, or the field
// starts with the quote that keeps one text.
bool NeedsTextMark(const std::string& strField) {
  return !strField.empty() && std::strchr("=+-@\t\r'", strField[0]) != nullptr;
}

std::string CsvField(const std::string& strRaw) {
  std::string strField = NeedsTextMark(strRaw) ? "'" + strRaw : strRaw;
  if (strField.find_first_of(",\"\r\n") == std::string::npos) return strField;
  std::string strQuoted = "\"";
  for (char ch : strField) strQuoted += ch == '"' ? "\"\"" : std::string(1, ch);
  return strQuoted + "\"";
}

// Takes back the text mark of a field read from a line.
std::string Unmarked(const std::string& strField) {
  return !strField.empty() && strField[0] == '\'' ? strField.substr(1)
                                                  : strField;
}

}  // namespace

std::string CsvLine(const std::vector<std::string>& vFields) {
  std::string strLine;
  for (size_t i = 0; i < vFields.size(); ++i)
    strLine += (i == 0 ? "" : ",") + CsvField(vFields[i]);
  return strLine + "\r\n";
}

int ParseCsv(const std::string& strData,
             std::vector<std::vector<std::string>>& vRecords) {
  vRecords.clear();
  std::vector<std::string> vFields;
  std::string strField;
  bool bQuoted = false, bClosed = false;
  for (size_t i = 0; i < strData.size(); ++i) {
    char ch = strData[i];
    if (bQuoted && ch == '"' && i + 1 < strData.size() &&
        strData[i + 1] == '"') {
      strField += '"';
      ++i;
    } else if (bQuoted && ch == '"') {
      bQuoted = false;
      bClosed = true;
    } else if (bQuoted) {
      strField += ch;
    } else if (ch == '"') {
      if (!strField.empty() || bClosed) return -1;
      bQuoted = true;
    } else if (ch == ',' || ch == '\r') {
      if (ch == '\r' && (i + 1 >= strData.size() || strData[i + 1] != '\n'))
        return -1;
      vFields.push_back(Unmarked(strField));
      strField.clear();
      bClosed = false;
      if (ch == '\r') {
        vRecords.push_back(vFields);
        vFields.clear();
        ++i;
      }
    } else {
      if (ch == '\n' || bClosed) return -1;
      strField += ch;
    }
  }
  if (bQuoted) return -1;
  if (!strField.empty() || bClosed || !vFields.empty()) {
    vFields.push_back(Unmarked(strField));
    vRecords.push_back(vFields);
  }
  return 1;
}
