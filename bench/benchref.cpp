#include "benchref.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <utility>
#include <vector>

#include "benchfs.h"
#include "genstore.h"

namespace {

constexpr int kMaxShown = 5;
constexpr size_t kMaxLineShown = 160;

// Tells whether strText holds a text of the shape at nPos: '0' stands for
// any digit, every other byte for itself. Digits are never CP932 trail
// bytes, so a match cannot start inside a double-byte character's digits.
bool ShapeAt(const std::string& strText, size_t nPos,
             const std::string& strShape) {
  if (nPos + strShape.size() > strText.size()) return false;
  for (size_t n = 0; n < strShape.size(); ++n) {
    char ch = strText[nPos + n];
    bool bDigit = ch >= '0' && ch <= '9';
    if (strShape[n] == '0' ? !bDigit : ch != strShape[n]) return false;
  }
  return true;
}

// The result file's records and summary: its header lines name the
// command line, the data folder and the start time, which differ by run.
std::string ResultBody(const std::string& strData) {
  size_t nPos = 0;
  for (int nLine = 0; nLine < 3 && nPos != std::string::npos; ++nLine) {
    nPos = strData.find('\n', nPos);
    if (nPos != std::string::npos) ++nPos;
  }
  return nPos == std::string::npos ? "" : BenchMask(strData.substr(nPos));
}

// The names in the tool's current folder, the result file's body and
// /report's CSV.
void CaptureCwd(const std::string& strRoot, BenchOutcome& outcome) {
  std::vector<std::string> vNames;
  std::error_code ec;
  for (const auto& entry :
       std::filesystem::directory_iterator(BenchCwdDir(strRoot), ec))
    vNames.push_back(entry.path().filename().string());
  std::sort(vNames.begin(), vNames.end());
  std::string strNames, strResult = "<missing>";
  for (const std::string& strName : vNames) {
    strNames += BenchMask(strName) + "\n";
    std::string strData;
    std::string strPath = BenchCwdDir(strRoot) + "/" + strName;
    if (BenchMask(strName) == "result{TS}.txt" &&
        BenchReadFile(strPath, strData))
      strResult = ResultBody(strData);
    if (BenchMask(strName) == "report{TS}.csv" &&
        !BenchReadFile(strPath, outcome["csv"]))
      outcome["csv"] = "<unreadable>";
  }
  outcome["cwd"] = strNames;
  outcome["result"] = strResult;
}

// The line of strText around byte nPos, shown as UTF-8.
std::string LineAround(const std::string& strText, size_t nPos) {
  size_t nStart = nPos == 0 ? std::string::npos : strText.rfind('\n', nPos - 1);
  nStart = nStart == std::string::npos ? 0 : nStart + 1;
  size_t nEnd = strText.find('\n', nPos);
  std::string strLine = strText.substr(
      nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
  if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
  if (strLine.size() > kMaxLineShown)
    strLine = strLine.substr(0, kMaxLineShown) + "...";
  return BenchUtf8(strLine);
}

std::string DescribeDifference(const std::string& strWant,
                               const std::string& strGot) {
  auto itGot = std::mismatch(strWant.begin(), strWant.end(), strGot.begin(),
                             strGot.end());
  size_t nPos = static_cast<size_t>(itGot.first - strWant.begin());
  long nLine = 1 + std::count(strWant.begin(), itGot.first, '\n');
  return "line " + std::to_string(nLine) +
         " differs\n      want: " + LineAround(strWant, nPos) +
         "\n      got:  " + LineAround(strGot, nPos);
}

}  // namespace

std::string BenchMask(const std::string& strText) {
  // Each shape (a 0 stands for any digit) and what it becomes.
  static const std::pair<std::string, std::string> kShapes[] = {
      {"0000/00/00 00:00:00", "{TIME}"},
      {"result00000000000000.txt", "result{TS}.txt"},
      {"backup00000000000000.dat", "backup{TS}.dat"},
      {"report00000000000000.", "report{TS}."}};
  std::string strOut;
  for (size_t nPos = 0; nPos < strText.size();) {
    bool bMasked = false;
    for (const auto& shape : kShapes) {
      if (bMasked || !ShapeAt(strText, nPos, shape.first)) continue;
      strOut += shape.second;
      nPos += shape.first.size();
      bMasked = true;
    }
    if (!bMasked) strOut += strText[nPos++];
  }
  return strOut;
}

BenchOutcome BenchCapture(const std::string& strRoot, int nExit,
                          const std::string& strConsole) {
  BenchOutcome outcome;
  outcome["exit"] = std::to_string(nExit);
  outcome["console"] = BenchMask(BenchCp932(strConsole));
  CaptureCwd(strRoot, outcome);
  std::string strData = BenchDataDir(strRoot);
  for (const std::string& strFile : BenchListFiles(strData)) {
    std::string& strBytes = outcome["file " + strFile];
    if (!BenchReadFile(strData + "/" + strFile, strBytes))
      strBytes = "<unreadable>";
  }
  return outcome;
}

// Each part as "<name length> <value length>\n<name><value>\n".
bool BenchSaveOutcome(const std::string& strPath, const BenchOutcome& outcome) {
  std::string strOut;
  for (const auto& part : outcome)
    strOut += std::to_string(part.first.size()) + " " +
              std::to_string(part.second.size()) + "\n" + part.first +
              part.second + "\n";
  return BenchWriteFile(strPath, strOut);
}

bool BenchLoadOutcome(const std::string& strPath, BenchOutcome& outcome) {
  std::string strData;
  if (!BenchReadFile(strPath, strData)) return false;
  outcome.clear();
  std::istringstream in(strData);
  size_t nName = 0, nValue = 0;
  while (in >> nName >> nValue && in.get() == '\n') {
    std::string strName(nName, '\0'), strValue(nValue, '\0');
    if (!in.read(&strName[0], static_cast<long>(nName)) ||
        !in.read(&strValue[0], static_cast<long>(nValue)) || in.get() != '\n')
      return false;
    outcome[strName] = strValue;
  }
  return in.eof();
}

std::string BenchCompare(const BenchOutcome& want, const BenchOutcome& got) {
  std::vector<std::string> vFound;
  for (const auto& part : want) {
    auto it = got.find(part.first);
    if (it == got.end())
      vFound.push_back(part.first + ": missing");
    else if (it->second != part.second)
      vFound.push_back(part.first + ": " +
                       DescribeDifference(part.second, it->second));
  }
  for (const auto& part : got)
    if (want.count(part.first) == 0)
      vFound.push_back(part.first + ": not in the reference");
  std::string strOut;
  for (size_t n = 0; n < vFound.size() && n < kMaxShown; ++n)
    strOut += "    " + vFound[n] + "\n";
  if (vFound.size() > kMaxShown)
    strOut += "    ... " + std::to_string(vFound.size() - kMaxShown) +
              " more parts differ\n";
  return strOut;
}
