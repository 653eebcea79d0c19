#include "backupfile.h"

#include <algorithm>
#include <utility>

#include "checklibcab.h"
#include "commonproc_mbcs.h"
#include "platform/platform.h"

namespace {

const char kCrLf[] = "\r\n";
const std::string kHeaderLine = "RAVBACKUP 1\r\n";
const std::string kEntryLine = "entry\r\n";
const std::string kEndLine = "end\r\n";
const char kNone[] = "none";

// What a read found at the reader: the item whole (the reader moved behind
// it), the data ending inside a prefix of it, or anything else.
enum Step { kStepOk, kStepCut, kStepBad };

struct Reader {
  const std::string& strData;
  size_t nPos;
  size_t Left() const { return strData.size() - nPos; }
};

bool IsLineText(const std::string& str) {
  return str.find_first_of(kCrLf) == std::string::npos;
}

void AppendLine(std::string& strOut, const char* pszKey,
                const std::string& strValue) {
  strOut.append(pszKey).append(strValue).append(kCrLf);
}

void AppendPayload(std::string& strOut, const char* pszKey, bool bPresent,
                   const std::string& strBytes) {
  if (!bPresent) {
    AppendLine(strOut, pszKey, kNone);
    return;
  }
  AppendLine(strOut, pszKey, std::to_string(strBytes.size()));
  strOut.append(strBytes).append(kCrLf);
}

bool IsWritable(const BackupEntry& entry) {
  return IsLineText(entry.strLibrary) && IsLineText(entry.strCabinet) &&
         IsLineText(entry.strPath) &&
         (!entry.bBefore || entry.strBefore.size() <= kMaxBackupPayload) &&
         (!entry.bAfter || entry.strAfter.size() <= kMaxBackupPayload);
}

// Compares the bytes at the reader with strWant; a cut is a data end inside
// a prefix of it.
Step Expect(Reader& reader, const std::string& strWant) {
  size_t nLen = std::min(reader.Left(), strWant.size());
  if (reader.strData.compare(reader.nPos, nLen, strWant, 0, nLen) != 0)
    return kStepBad;
  if (nLen < strWant.size()) return kStepCut;
  reader.nPos += nLen;
  return kStepOk;
}

// Reads the line pszKey, value, CR LF. The value ends at the first CR or LF,
// so a CR or LF inside it makes the line end wrong; on a cut strValue holds
// the part that was read.
Step ReadField(Reader& reader, const char* pszKey, std::string& strValue) {
  Step step = Expect(reader, pszKey);
  if (step != kStepOk) return step;
  size_t nEnd = reader.strData.find_first_of(kCrLf, reader.nPos);
  if (nEnd == std::string::npos) nEnd = reader.strData.size();
  strValue.assign(reader.strData, reader.nPos, nEnd - reader.nPos);
  reader.nPos = nEnd;
  return Expect(reader, kCrLf);
}

// Reads a count: decimal digits, no sign, no leading zero, at most
// kMaxBackupPayload. The digits are checked one by one against the
// maximum, so no count overflows however long its text.
bool ParseCount(const std::string& strText, uint64_t& nCount) {
  if (strText.empty() || (strText[0] == '0' && strText.size() > 1))
    return false;
  nCount = 0;
  for (char ch : strText) {
    if (ch < '0' || ch > '9') return false;
    nCount = nCount * 10 + static_cast<uint64_t>(ch - '0');
    if (nCount > kMaxBackupPayload) return false;
  }
  return true;
}

// Tells whether the text of a count line is "none" or a count; for a cut
// line, whether more bytes could still make it one.
bool IsCountText(const std::string& strText, bool bCut, uint64_t& nCount) {
  nCount = 0;
  if (bCut && std::string(kNone).compare(0, strText.size(), strText) == 0)
    return true;
  return strText == kNone || ParseCount(strText, nCount);
}

// Reads a count line and the bytes it announces, each followed by CR LF. A
// count beyond the data's end is a cut: the run was killed while writing
// those bytes. Nothing is allocated before the count is known to fit.
Step ReadPayload(Reader& reader, const char* pszKey, bool& bPresent,
                 std::string& strBytes) {
  std::string strCount;
  uint64_t nCount = 0;
  Step step = ReadField(reader, pszKey, strCount);
  if (step == kStepBad || !IsCountText(strCount, step == kStepCut, nCount))
    return kStepBad;
  if (step == kStepCut) return kStepCut;
  bPresent = strCount != kNone;
  if (!bPresent) return kStepOk;
  if (nCount > reader.Left()) return kStepCut;
  strBytes.assign(reader.strData, reader.nPos, static_cast<size_t>(nCount));
  reader.nPos += static_cast<size_t>(nCount);
  return Expect(reader, kCrLf);
}

Step ReadEntry(Reader& reader, BackupEntry& entry) {
  Step step = Expect(reader, kEntryLine);
  if (step == kStepOk) step = ReadField(reader, "library=", entry.strLibrary);
  if (step == kStepOk) step = ReadField(reader, "cabinet=", entry.strCabinet);
  if (step == kStepOk) step = ReadField(reader, "path=", entry.strPath);
  if (step == kStepOk)
    step = ReadPayload(reader, "before=", entry.bBefore, entry.strBefore);
  if (step == kStepOk)
    step = ReadPayload(reader, "after=", entry.bAfter, entry.strAfter);
  if (step == kStepOk) step = Expect(reader, kEndLine);
  return step;
}

Step ReadHeader(Reader& reader, BackupRun& run) {
  Step step = Expect(reader, kHeaderLine);
  if (step == kStepOk) step = ReadField(reader, "data=", run.strDataPath);
  return step;
}

// Reads the header or entry at the reader into vRuns. The file starts with
// a header; after it, the magic's first byte starts a header and any other
// byte an entry.
Step ReadItem(Reader& reader, std::vector<BackupRun>& vRuns) {
  if (vRuns.empty() || reader.strData[reader.nPos] == kHeaderLine[0]) {
    BackupRun run;
    Step step = ReadHeader(reader, run);
    if (step == kStepOk) vRuns.push_back(std::move(run));
    return step;
  }
  BackupEntry entry;
  Step step = ReadEntry(reader, entry);
  if (step == kStepOk) vRuns.back().vEntries.push_back(std::move(entry));
  return step;
}

// Tells whether the string ends in a lead byte with no trail byte: a
// separator put behind it would be read as that trail byte.
bool EndsInLoneLead(const std::string& str) {
  size_t nLast = MbPrevChar(str, str.size());
  return nLast + 1 == str.size() &&
         PlatIsLeadByte(static_cast<unsigned char>(str[nLast]));
}

bool IsPlainName(const std::string& strName) {
  return IsSafeFolderName(strName) &&
         MbFind(strName, std::string(1, '\0')) == std::string::npos &&
         MbFind(strName, ":") == std::string::npos && !EndsInLoneLead(strName);
}

}  // namespace

std::string BackupHeader(const std::string& strDataPath) {
  if (!IsLineText(strDataPath)) return "";
  std::string strOut = kHeaderLine;
  AppendLine(strOut, "data=", strDataPath);
  return strOut;
}

std::string BackupEntryBytes(const BackupEntry& entry) {
  if (!IsWritable(entry)) return "";
  std::string strOut = kEntryLine;
  strOut.reserve(entry.strPath.size() + entry.strBefore.size() +
                 entry.strAfter.size() + 128);
  AppendLine(strOut, "library=", entry.strLibrary);
  AppendLine(strOut, "cabinet=", entry.strCabinet);
  AppendLine(strOut, "path=", entry.strPath);
  AppendPayload(strOut, "before=", entry.bBefore, entry.strBefore);
  AppendPayload(strOut, "after=", entry.bAfter, entry.strAfter);
  return strOut.append(kEndLine);
}

int ParseBackupFile(const std::string& strData, std::vector<BackupRun>& vRuns) {
  vRuns.clear();
  Reader reader{strData, 0};
  Step step = kStepOk;
  while (step == kStepOk && (vRuns.empty() || reader.Left() > 0))
    step = ReadItem(reader, vRuns);
  if (step == kStepOk) return 1;
  // A cut inside the first header leaves no run: nothing says what the
  // file is.
  if (step == kStepCut && !vRuns.empty()) return 2;
  vRuns.clear();
  return -1;
}

bool IsEntryInsideDataFolder(const BackupEntry& entry,
                             const std::string& strDataPath, char chSeparator) {
  return !strDataPath.empty() && !EndsInLoneLead(strDataPath) &&
         IsPlainName(entry.strLibrary) && IsPlainName(entry.strCabinet) &&
         entry.strPath == strDataPath + chSeparator + entry.strLibrary +
                              chSeparator + entry.strCabinet;
}
