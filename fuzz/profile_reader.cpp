// Fuzz target of the portable private-profile reader (profile_reader.h).
//
// Input: section 0xFF key 0xFF default 0xFF file bytes. The answer is read
// into buffers of exactly nSize bytes, so that AddressSanitizer sees any
// byte written or read beyond them, and must keep the rules of the header:
//   - the count is below nSize, is strlen of what is stored, and a smaller
//     buffer gets the first nSize - 1 bytes of the whole answer;
//   - nSize 0 stores nothing;
//   - the same question gives the same answer;
//   - spaces around the section and key arguments, other case of their
//     single-byte letters, spaces behind the default change nothing;
//   - a missing key gives the default, a key found gives the same value
//     whatever the default;
//   - a key line put above the first header is in no section; a section or
//     key added behind a key found is never read.
#include "platform/profile_reader.h"

#include <cstring>

#include "fuzz_util.h"

namespace {

// Returns the answer read into a buffer of exactly nSize bytes; nCount gets
// the count returned.
std::string Ask(const std::string& strData, const std::string& strSection,
                const std::string& strKey, const std::string& strDefault,
                unsigned nSize, unsigned& nCount) {
  std::vector<char> vBuffer(nSize == 0 ? 1 : nSize, '\x7F');
  char* pBuffer = vBuffer.data();
  nCount = ProfileGetString(strData, strSection.c_str(), strKey.c_str(),
                            strDefault.c_str(), pBuffer, nSize);
  if (nSize == 0) {
    FUZZ_CHECK(nCount == 0 && vBuffer[0] == '\x7F');
    return "";
  }
  FUZZ_CHECK(nCount < nSize);
  FUZZ_CHECK(std::strlen(pBuffer) == nCount);
  return std::string(pBuffer, nCount);
}

// Asks with a buffer large enough for any answer.
std::string AskWhole(const std::string& strData, const std::string& strSection,
                     const std::string& strKey, const std::string& strDefault) {
  unsigned nCount = 0;
  unsigned nSize =
      static_cast<unsigned>(strData.size() + strDefault.size() + 2);
  std::string strAnswer =
      Ask(strData, strSection, strKey, strDefault, nSize, nCount);
  FUZZ_CHECK(nCount + 1 < nSize);
  return strAnswer;
}

// The default as it comes back: without trailing spaces, cut at a NUL.
std::string Trimmed(const std::string& strDefault) {
  std::string str = strDefault.substr(0, strDefault.find('\0'));
  return str.erase(str.find_last_not_of(' ') + 1);
}

// Flips the case of every single-byte ASCII letter.
std::string OtherCase(const std::string& str) {
  std::string strOut;
  for (std::string strChar : CharsOf(str)) {
    char& ch = strChar[0];
    if (strChar.size() == 1 &&
        ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')))
      ch = static_cast<char>(ch ^ 0x20);
    strOut += strChar;
  }
  return strOut;
}

// One question to the reader: the file's bytes, the section, the key and
// the default, and the answer with a buffer large enough for any.
struct Question {
  std::string strData, strSection, strKey, strDefault, strWhole;
};

// A smaller buffer gets the first nSize - 1 bytes of the whole answer.
void CheckBufferSizes(const Question& q) {
  size_t nLen = q.strWhole.size();
  for (size_t nSize :
       {size_t{0}, size_t{1}, size_t{2}, nLen / 2 + 1, nLen, nLen + 1}) {
    unsigned nCount = 0;
    std::string strPart = Ask(q.strData, q.strSection, q.strKey, q.strDefault,
                              static_cast<unsigned>(nSize), nCount);
    if (nSize > 0) FUZZ_CHECK(strPart == q.strWhole.substr(0, nSize - 1));
  }
}

// Spaces around the arguments and the case of their single-byte letters
// change nothing.
void CheckArguments(const Question& q) {
  FUZZ_CHECK(q.strWhole == AskWhole(q.strData, "  " + q.strSection + " ",
                                    " " + q.strKey + "  ",
                                    q.strDefault + "  "));
  FUZZ_CHECK(q.strWhole == AskWhole(q.strData, OtherCase(q.strSection),
                                    OtherCase(q.strKey), q.strDefault));
}

// Returns true iff the key is found: its value does not depend on the
// default, and a missing key gives the default.
bool CheckDefault(const Question& q) {
  std::string strOther =
      AskWhole(q.strData, q.strSection, q.strKey, "\x01other");
  if (strOther == q.strWhole) return q.strWhole != Trimmed(q.strDefault);
  FUZZ_CHECK(q.strWhole == Trimmed(q.strDefault));
  FUZZ_CHECK(strOther == "\x01other");
  return false;
}

// A key line above the first header is in no section; what follows a key
// found is never read.
void CheckAddedLines(const Question& q, bool bFound) {
  if (q.strKey.find_first_of("\r\n[") == std::string::npos)
    FUZZ_CHECK(q.strWhole == AskWhole(q.strKey + "=above\r\n" + q.strData,
                                      q.strSection, q.strKey, q.strDefault));
  if (!bFound) return;
  std::string strMore = q.strData + "\r\n" + q.strKey + "=later\r\n[" +
                        q.strSection + "]\r\n" + q.strKey + "=later\r\n";
  FUZZ_CHECK(q.strWhole ==
             AskWhole(strMore, q.strSection, q.strKey, q.strDefault));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  std::vector<std::string> vFields = FuzzFields(pData, nSize, 4);
  // The arguments are C strings: they end at a NUL.
  Question q = {vFields[3], vFields[0].c_str(), vFields[1].c_str(),
                vFields[2].c_str(), ""};
  q.strWhole = AskWhole(q.strData, q.strSection, q.strKey, q.strDefault);
  FUZZ_CHECK(q.strWhole ==
             AskWhole(q.strData, q.strSection, q.strKey, q.strDefault));
  CheckBufferSizes(q);
  CheckArguments(q);
  CheckAddedLines(q, CheckDefault(q));
  return 0;
}
