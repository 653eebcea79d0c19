// The CSV form of the access report: CP932 text, one record per line ended
// by CR LF, fields separated by commas.
//
// Writing (CsvLine):
//   - A field holding a comma, a double quote, a CR or an LF is put in
//     double quotes, and each double quote inside it is doubled.
//   - A field that a spreadsheet would take for a formula (its first byte
//     one of = + - @ TAB CR) gets a single quote in front, and so does a
//     field that starts with a single quote itself, so that reading takes
//     exactly one back off.
//   These bytes are never the trail byte of a double-byte character, so
//   the rules hold byte by byte.
//
// Reading (ParseCsv) takes back exactly what CsvLine writes: quoted fields
// may hold commas, doubled quotes and line ends; a line ends at CR LF; the
// last line may lack its CR LF. It refuses (-1) a quote inside an unquoted
// field, text after a closing quote, an unclosed quote, and a bare CR or LF.
//
// Results of ParseCsv: 1 parsed; -1 the text is no CSV of this form.
#pragma once

#include <string>
#include <vector>

// Appends one field, quoted and marked as the rules above say.
void CsvAppendField(std::string& strOut, const std::string& strRaw);

// Returns the fields as one CSV line, CR LF included.
std::string CsvLine(const std::vector<std::string>& vFields);

// Splits strData into records of fields into vRecords.
int ParseCsv(const std::string& strData,
             std::vector<std::vector<std::string>>& vRecords);
