#include "reportcsv.h"

#include <string_view>

namespace {

// True iff a spreadsheet would read the field as a formula, or the field
// starts with the quote that keeps one text.
bool NeedsTextMark(const std::string& strField) {
  return !strField.empty() &&
         std::string_view("=+-@\t\r'").find(strField[0]) != std::string::npos;
}

// Takes back the text mark of a field read from a line.
std::string Unmarked(const std::string& strField) {
  return !strField.empty() && strField[0] == '\'' ? strField.substr(1)
                                                  : strField;
}

}  // namespace

void CsvAppendField(std::string& strOut, const std::string& strRaw) {
  bool bQuote = strRaw.find_first_of(",\"\r\n") != std::string::npos;
  if (bQuote) strOut += '"';
  if (NeedsTextMark(strRaw)) strOut += '\'';
  if (!bQuote) {
    strOut += strRaw;
    return;
  }
  for (char ch : strRaw) {
    if (ch == '"') strOut += '"';
    strOut += ch;
  }
  strOut += '"';
}

std::string CsvLine(const std::vector<std::string>& vFields) {
  std::string strLine;
  for (size_t i = 0; i < vFields.size(); ++i) {
    if (i != 0) strLine += ',';
    CsvAppendField(strLine, vFields[i]);
  }
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
