#include "backupfile.h"

#include <algorithm>
#include <utility>

#include "checklibcab.h"
#include "commonproc_mbcs.h"
#include "platform/platform.h"

namespace {

const char kCrLf[] = "\r\n";
const std::string kHeaderV1 = "RAVBACKUP 1\r\n";
const std::string kEntryV1 = "entry\r\n";
const char kMagicV2[] = "RAVBACKUP 2";
const char kEntryV2[] = "entry";
const std::string kEndLine = "end\r\n";
const char kNone[] = "none";
const char kHexDigits[] = "0123456789abcdef";
constexpr size_t kCrcDigits = 8;
// The longest rest of a check line up to its CR: 20 digits of a length, a
// space and the CRC.
constexpr size_t kMaxCheckText = 20 + 1 + kCrcDigits;

// The CRC-32 of IEEE 802.3 (as zlib computes it): reflected, polynomial
// 0xEDB88320, one table entry per byte value.
struct CrcTable {
  uint32_t a[256];
  constexpr CrcTable() : a() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t nCrc = n;
      for (int nBit = 0; nBit < 8; ++nBit)
        nCrc = (nCrc & 1) ? 0xEDB88320u ^ (nCrc >> 1) : nCrc >> 1;
      a[n] = nCrc;
    }
  }
};
constexpr CrcTable kCrcTable;

uint32_t Crc32(const std::string& str) {
  uint32_t nCrc = 0xFFFFFFFFu;
  for (char ch : str)
    nCrc = kCrcTable.a[(nCrc ^ static_cast<unsigned char>(ch)) & 0xFF] ^
           (nCrc >> 8);
  return nCrc ^ 0xFFFFFFFFu;
}

std::string CrcText(uint32_t nCrc) {
  std::string strText(kCrcDigits, '0');
  for (size_t n = kCrcDigits; n-- > 0; nCrc >>= 4)
    strText[n] = kHexDigits[nCrc & 15];
  return strText;
}

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

// Returns a version 2 item: the line of its keyword and check, then strBody.
std::string Checked(const char* pszKeyword, const std::string& strBody) {
  std::string strOut = std::string(pszKeyword) + " " +
                       std::to_string(strBody.size()) + " " +
                       CrcText(Crc32(strBody)) + kCrLf;
  return strOut.append(strBody);
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

// Reads a count: decimal digits, no sign, no leading zero, at most nMax.
// The digits are checked one by one against the maximum, so no count
// overflows however long its text.
bool ParseCount(const std::string& strText, uint64_t nMax, uint64_t& nCount) {
  if (strText.empty() || (strText[0] == '0' && strText.size() > 1))
    return false;
  nCount = 0;
  for (char ch : strText) {
    if (ch < '0' || ch > '9') return false;
    nCount = nCount * 10 + static_cast<uint64_t>(ch - '0');
    if (nCount > nMax) return false;
  }
  return true;
}

// Tells whether the text of a count line is "none" or a count; for a cut
// line, whether more bytes could still make it one.
bool IsCountText(const std::string& strText, bool bCut, uint64_t& nCount) {
  nCount = 0;
  if (bCut && std::string(kNone).compare(0, strText.size(), strText) == 0)
    return true;
  return strText == kNone || ParseCount(strText, kMaxBackupPayload, nCount);
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

// Reads an entry's lines after its first one, through "end".
Step ReadEntryFields(Reader& reader, BackupEntry& entry) {
  Step step = ReadField(reader, "library=", entry.strLibrary);
  if (step == kStepOk) step = ReadField(reader, "cabinet=", entry.strCabinet);
  if (step == kStepOk) step = ReadField(reader, "path=", entry.strPath);
  if (step == kStepOk)
    step = ReadPayload(reader, "before=", entry.bBefore, entry.strBefore);
  if (step == kStepOk)
    step = ReadPayload(reader, "after=", entry.bAfter, entry.strAfter);
  if (step == kStepOk) step = Expect(reader, kEndLine);
  return step;
}

// ---- Version 1 ------------------------------------------------------------

Step ReadEntryV1(Reader& reader, BackupEntry& entry) {
  Step step = Expect(reader, kEntryV1);
  return step == kStepOk ? ReadEntryFields(reader, entry) : step;
}

Step ReadHeaderV1(Reader& reader, BackupRun& run) {
  run.nVersion = 1;
  Step step = Expect(reader, kHeaderV1);
  return step == kStepOk ? ReadField(reader, "data=", run.strDataPath) : step;
}

// Reads the header or entry at the reader into vRuns. The file starts with
// a header; after it, the magic's first byte starts a header and any other
// byte an entry.
Step ReadItemV1(Reader& reader, std::vector<BackupRun>& vRuns) {
  if (vRuns.empty() || reader.strData[reader.nPos] == kHeaderV1[0]) {
    BackupRun run;
    Step step = ReadHeaderV1(reader, run);
    if (step == kStepOk) vRuns.push_back(std::move(run));
    return step;
  }
  BackupEntry entry;
  Step step = ReadEntryV1(reader, entry);
  if (step == kStepOk) vRuns.back().vEntries.push_back(std::move(entry));
  return step;
}

// ---- Version 2 ------------------------------------------------------------

// Reads the rest of a checked item's first line, "<length> <crc>" and CR
// LF, into nLen and strCrc. Its end is looked for in the longest span it
// can have only.
bool ReadCheckLine(Reader& reader, uint64_t& nLen, std::string& strCrc) {
  std::string strLine = reader.strData.substr(reader.nPos, kMaxCheckText + 1);
  size_t nEnd = strLine.find_first_of(kCrLf);
  size_t nSpace = strLine.find(' ');
  if (nEnd == std::string::npos || nSpace > nEnd ||
      nEnd - nSpace - 1 != kCrcDigits)
    return false;
  strCrc = strLine.substr(nSpace + 1, kCrcDigits);
  if (!ParseCount(strLine.substr(0, nSpace), reader.strData.size(), nLen) ||
      strCrc.find_first_not_of(kHexDigits) != std::string::npos)
    return false;
  reader.nPos += nEnd;
  return Expect(reader, kCrLf) == kStepOk;
}

// Reads a checked item's first line, pszKeyword, length and CRC-32, and the
// bytes it covers into strBody; true only when they are all there and the
// check holds. No byte of the body is looked at before.
bool ReadChecked(Reader& reader, const char* pszKeyword, std::string& strBody) {
  uint64_t nLen = 0;
  std::string strCrc;
  if (Expect(reader, std::string(pszKeyword) + " ") != kStepOk ||
      !ReadCheckLine(reader, nLen, strCrc) || nLen > reader.Left())
    return false;
  strBody.assign(reader.strData, reader.nPos, static_cast<size_t>(nLen));
  reader.nPos += static_cast<size_t>(nLen);
  return CrcText(Crc32(strBody)) == strCrc;
}

// Reads a checked header's body, exactly its data line, into a new run.
bool ReadHeaderBody(const std::string& strBody, std::vector<BackupRun>& vRuns) {
  Reader body{strBody, 0};
  BackupRun run;
  if (ReadField(body, "data=", run.strDataPath) != kStepOk || body.Left() > 0)
    return false;
  vRuns.push_back(std::move(run));
  return true;
}

// Reads a checked entry's body, exactly its lines through "end", into the
// last run.
bool ReadEntryBody(const std::string& strBody, std::vector<BackupRun>& vRuns) {
  Reader body{strBody, 0};
  BackupEntry entry;
  if (ReadEntryFields(body, entry) != kStepOk || body.Left() > 0) return false;
  vRuns.back().vEntries.push_back(std::move(entry));
  return true;
}

// Reads the checked header or entry at the reader into vRuns; true only
// when it reads whole. The file starts with a header; after it, the magic's
// first byte starts a header and any other byte an entry.
bool ReadItemV2(Reader& reader, std::vector<BackupRun>& vRuns) {
  bool bHeader = vRuns.empty() || reader.strData[reader.nPos] == kMagicV2[0];
  std::string strBody;
  if (!ReadChecked(reader, bHeader ? kMagicV2 : kEntryV2, strBody))
    return false;
  return bHeader ? ReadHeaderBody(strBody, vRuns)
                 : ReadEntryBody(strBody, vRuns);
}

// Tells whether a whole, checked item starts anywhere behind nFrom: then
// what failed at nFrom had been flushed, and it is damage.
bool IsCheckedItemBehind(const std::string& strData, size_t nFrom) {
  const std::string strFirsts = {kMagicV2[0], kEntryV2[0]};
  for (size_t nPos = strData.find_first_of(strFirsts, nFrom + 1);
       nPos != std::string::npos;
       nPos = strData.find_first_of(strFirsts, nPos + 1)) {
    Reader reader{strData, nPos};
    std::vector<BackupRun> vRuns(1);
    if (ReadItemV2(reader, vRuns)) return true;
  }
  return false;
}

// Tells whether the item at the reader is read by version 2's rules: in a
// version 2 run, or where a version 2 header starts.
bool IsVersion2At(const Reader& reader, const std::vector<BackupRun>& vRuns) {
  if (!vRuns.empty() && vRuns.back().nVersion == 2) return true;
  return reader.strData.compare(reader.nPos, sizeof kMagicV2 - 1, kMagicV2) ==
         0;
}

// Reads the item at the reader by the rules of its version; -1 damage, 2 a
// cut tail starts at it, 1 read.
int ReadItem(Reader& reader, std::vector<BackupRun>& vRuns) {
  size_t nStart = reader.nPos;
  if (IsVersion2At(reader, vRuns)) {
    if (ReadItemV2(reader, vRuns)) return 1;
    return vRuns.empty() || IsCheckedItemBehind(reader.strData, nStart) ? -1
                                                                        : 2;
  }
  Step step = ReadItemV1(reader, vRuns);
  if (step == kStepOk) return 1;
  // A cut inside the first header leaves no run: nothing says what the
  // file is.
  return step == kStepCut && !vRuns.empty() ? 2 : -1;
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

std::string BackupHeader(const std::string& strDataPath, int nVersion) {
  if (!IsLineText(strDataPath)) return "";
  std::string strBody;
  AppendLine(strBody, "data=", strDataPath);
  return nVersion == 1 ? kHeaderV1 + strBody : Checked(kMagicV2, strBody);
}

std::string BackupEntryBytes(const BackupEntry& entry, int nVersion) {
  if (!IsWritable(entry)) return "";
  std::string strBody;
  strBody.reserve(entry.strPath.size() + entry.strBefore.size() +
                  entry.strAfter.size() + 128);
  AppendLine(strBody, "library=", entry.strLibrary);
  AppendLine(strBody, "cabinet=", entry.strCabinet);
  AppendLine(strBody, "path=", entry.strPath);
  AppendPayload(strBody, "before=", entry.bBefore, entry.strBefore);
  AppendPayload(strBody, "after=", entry.bAfter, entry.strAfter);
  strBody.append(kEndLine);
  return nVersion == 1 ? kEntryV1 + strBody : Checked(kEntryV2, strBody);
}

std::string BackupFileBytes(const std::vector<BackupRun>& vRuns) {
  std::string strOut;
  for (const BackupRun& run : vRuns) {
    strOut += BackupHeader(run.strDataPath, run.nVersion);
    for (const BackupEntry& entry : run.vEntries)
      strOut += BackupEntryBytes(entry, run.nVersion);
  }
  return strOut;
}

int ParseBackupFile(const std::string& strData, std::vector<BackupRun>& vRuns) {
  vRuns.clear();
  Reader reader{strData, 0};
  int nRet = 1;
  while (nRet == 1 && (vRuns.empty() || reader.Left() > 0))
    nRet = ReadItem(reader, vRuns);
  if (nRet < 0) vRuns.clear();
  return nRet;
}

bool IsEntryInsideDataFolder(const BackupEntry& entry,
                             const std::string& strDataPath, char chSeparator) {
  return !strDataPath.empty() && !EndsInLoneLead(strDataPath) &&
         IsPlainName(entry.strLibrary) && IsPlainName(entry.strCabinet) &&
         entry.strPath == strDataPath + chSeparator + entry.strLibrary +
                              chSeparator + entry.strCabinet;
}
