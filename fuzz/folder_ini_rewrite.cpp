// Fuzz target of the Folder.ini rewrite's in-memory core,
// RewriteFolderIniData (iniaccess.h).
//
// Input: update list 0xFF browse list 0xFF the old Folder.ini bytes. Each
// mode runs with the lists as given and with the lists made well-formed (the
// names of the input, whole CP932 characters without CR, LF or NUL, each
// ended by a comma). Checked:
//   - the new bytes are those that the rules in iniaccess.h give (a
//     reference written from them), and every non-blank line outside
//     [ReadUserInfo] is kept, trimmed, in order;
//   - the rewrite is refused (-6) exactly when the reader would not take
//     the lists of the new bytes as written; otherwise it reads well-formed
//     lists back exactly, and no list after a delete;
//   - rewriting the result again changes nothing.
#include "fuzz_util.h"
#include "iniaccess.h"

namespace {

const char kCrLf[] = "\r\n";

bool IsBlankChar(const std::string& strChar) {
  return strChar == " " || strChar == "\t";
}

// Trims spaces and tabs that are characters of their own.
std::string TrimLine(const std::string& strLine) {
  std::vector<std::string> vChars = CharsOf(strLine);
  size_t nBegin = 0;
  size_t nEnd = vChars.size();
  while (nBegin < nEnd && IsBlankChar(vChars[nBegin])) ++nBegin;
  while (nEnd > nBegin && IsBlankChar(vChars[nEnd - 1])) --nEnd;
  std::string strOut;
  for (size_t n = nBegin; n < nEnd; ++n) strOut += vChars[n];
  return strOut;
}

// The trimmed, non-blank lines: cut at LF, a CR before the LF dropped.
std::vector<std::string> LinesOf(const std::string& strData) {
  std::vector<std::string> vLines;
  std::string strLine;
  for (size_t nPos = 0; nPos <= strData.size(); ++nPos) {
    if (nPos < strData.size() && strData[nPos] != '\n') {
      strLine += strData[nPos];
      continue;
    }
    if (nPos < strData.size() && !strLine.empty() && strLine.back() == '\r')
      strLine.pop_back();
    strLine = TrimLine(strLine);
    if (!strLine.empty()) vLines.push_back(strLine);
    strLine.clear();
  }
  return vLines;
}

// The first 14 bytes are "[ReadUserInfo]" in any case. A double-byte
// character there can never match, so folding ASCII letters is all the
// case rule there is.
bool IsHeader(const std::string& strLine) {
  std::string strHead = strLine.substr(0, 14);
  for (char& ch : strHead)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 0x20);
  return strHead == "[readuserinfo]";
}

// The section that mode nMode writes.
std::string BlockOf(const std::string& strRW, const std::string& strRO,
                    int nMode) {
  if (nMode != kIniWrite) return "";
  return std::string(kCrLf) + "[ReadUserInfo]" + kCrLf +
         "UserNameList=" + strRW + kCrLf + "ReadOnlyUserList=" + strRO + kCrLf;
}

// The rewrite by the rules; vKept gets the lines kept outside the section.
std::string RefRewrite(const std::string& strData, const std::string& strRW,
                       const std::string& strRO, int nMode, bool& bFound,
                       std::vector<std::string>& vKept) {
  std::string strBlock = BlockOf(strRW, strRO, nMode);
  std::string strOut;
  bFound = false;
  bool bInSection = false;
  for (const std::string& strLine : LinesOf(strData)) {
    if (IsHeader(strLine)) {
      if (!bFound) strOut += strBlock;
      bFound = bInSection = true;
    } else if (!bInSection || strLine[0] == '[') {
      bInSection = false;
      strOut += strLine + kCrLf;
      vKept.push_back(strLine);
    }
  }
  return bFound ? strOut : strOut + strBlock;
}

bool IsListByte(char ch) { return ch != '\r' && ch != '\n' && ch != '\0'; }

// The names of strField as a well-formed list: whole CP932 characters
// without CR, LF or NUL, no blank in front, each name ended by a comma.
std::string WellFormedList(const std::string& strField) {
  std::string strNames;
  for (const std::string& strChar : CharsOf(strField))
    if (IsWholeCp932(strChar) &&
        (strChar.size() == 2 || IsListByte(strChar[0])))
      strNames += strChar;
  std::string strList;
  std::string strName;
  for (const std::string& strChar : CharsOf(strNames + ",")) {
    if (strChar != ",") {
      strName += strChar;
      continue;
    }
    if (!strName.empty()) strList += strName + ",";
    strName.clear();
  }
  // The reader trims blanks in front of a value; a name made empty by that
  // goes with its comma.
  return strList.erase(0, strList.find_first_not_of("\t\v\f \x1A,"));
}

// The kept lines are lines of the new bytes, in their order. A kept line
// holds no LF, so CR LF is only ever a line end.
void CheckKept(const std::string& strOut,
               const std::vector<std::string>& vKept) {
  size_t nKept = 0;
  for (size_t nPos = 0; nPos < strOut.size() && nKept < vKept.size();) {
    size_t nEnd = strOut.find(kCrLf, nPos);
    FUZZ_CHECK(nEnd != std::string::npos);
    if (strOut.compare(nPos, nEnd - nPos, vKept[nKept]) == 0) ++nKept;
    nPos = nEnd + 2;
  }
  FUZZ_CHECK(nKept == vKept.size());
}

// Tells whether the reader takes the same lists from strOut as from the
// block alone.
bool ReadsAsBlock(const std::string& strOut, const std::string& strBlock) {
  for (int nKey : {kKeyUserNameList, kKeyReadOnlyUserList}) {
    std::string strFromOut;
    std::string strFromBlock;
    if (GetIniValue(strOut, nKey, strFromOut) !=
            GetIniValue(strBlock, nKey, strFromBlock) ||
        strFromOut != strFromBlock)
      return false;
  }
  return true;
}

void CheckReadBack(const std::string& strOut, int nKey,
                   const std::string& strList) {
  std::string strValue = "stale";
  FUZZ_CHECK(GetIniValue(strOut, nKey, strValue) == (strList.empty() ? 0 : 1));
  FUZZ_CHECK(strValue == strList);
}

void CheckMode(const std::string& strData, const std::string& strRW,
               const std::string& strRO, int nMode, bool bWellFormed) {
  std::string strOut = "stale";
  int nRet = RewriteFolderIniData(strData, strRW, strRO, nMode, strOut);
  bool bFound = false;
  std::vector<std::string> vKept;
  FUZZ_CHECK(strOut == RefRewrite(strData, strRW, strRO, nMode, bFound, vKept));
  CheckKept(strOut, vKept);
  bool bWrite = nMode == kIniWrite;
  bool bRefused =
      nMode != kIniCheck && !ReadsAsBlock(strOut, BlockOf(strRW, strRO, nMode));
  FUZZ_CHECK(nRet == (bRefused ? -6 : bFound ? 1 : 0));
  if (!bWellFormed || bRefused || nMode == kIniCheck) return;
  CheckReadBack(strOut, kKeyUserNameList, bWrite ? strRW : "");
  CheckReadBack(strOut, kKeyReadOnlyUserList, bWrite ? strRO : "");
  std::string strAgain;
  RewriteFolderIniData(strOut, strRW, strRO, nMode, strAgain);
  FUZZ_CHECK(strAgain == strOut);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  std::vector<std::string> vFields = FuzzFields(pData, nSize, 3);
  const std::string& strData = vFields[2];
  std::string strRW = WellFormedList(vFields[0]);
  std::string strRO = WellFormedList(vFields[1]);
  for (int nMode : {kIniWrite, kIniDelete, kIniCheck}) {
    CheckMode(strData, vFields[0], vFields[1], nMode, false);
    CheckMode(strData, strRW, strRO, nMode, true);
  }
  return 0;
}
