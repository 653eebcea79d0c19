// Fuzz target of the user-list functions (commonproc.h) and the one-user
// edits (userproc.h). Each answer is compared with a small reference written
// from the header contracts, quadratic and plain, so that any rewrite of
// those functions must keep every answer; and the properties the contracts
// promise are checked on their own.
//
// Input: list 0xFF name 0xFF new name 0xFF delimiter. The list is also the
// bytes of the Folder.ini that the edits take their lists from.
//
// The references treat a list as items each ended by a comma character, and
// a name as a whole item. Where a name holds a comma character, or ends in a
// lead byte with nothing to pair with, the contracts do not say what a whole
// item is; the tool never has such a name (the command line refuses commas
// and gives whole characters; a list's items end before a comma). There
// only the absence of crashes is checked. The same holds for a list given to
// TrimDuplicateUserList that ends in such a lead byte: GetIniValue ends
// every list with a comma byte.
#include <algorithm>
#include <set>

#include "commonproc.h"
#include "fuzz_util.h"
#include "iniaccess.h"
#include "userproc.h"

namespace {

// A list cut at its comma characters: the items, each ended by a comma, and
// the text behind the last comma.
struct Items {
  std::vector<std::string> vItems;
  std::string strTail;
};

Items ItemsOf(const std::string& strList) {
  Items items;
  for (const std::string& strChar : CharsOf(strList)) {
    if (strChar != ",") {
      items.strTail += strChar;
      continue;
    }
    items.vItems.push_back(items.strTail);
    items.strTail.clear();
  }
  return items;
}

// Returns the code of a character: its byte, or lead << 8 | trail.
unsigned CodeOf(const std::string& strChar) {
  unsigned nCode = static_cast<unsigned char>(strChar[0]);
  if (strChar.size() == 2)
    nCode = nCode << 8 | static_cast<unsigned char>(strChar[1]);
  return nCode;
}

// Lower-cases character by character with the platform's table.
std::string Lower(const std::string& str) {
  std::string strOut;
  for (const std::string& strChar : CharsOf(str)) {
    unsigned nLower = PlatLowerChar(CodeOf(strChar));
    if (strChar.size() == 2) strOut += static_cast<char>(nLower >> 8);
    strOut += static_cast<char>(nLower & 0xFF);
  }
  return strOut;
}

bool Same(const std::string& strA, const std::string& strB, int bMatchCase) {
  return bMatchCase ? strA == strB : Lower(strA) == Lower(strB);
}

bool IsName(const std::string& strName) {
  std::vector<std::string> vChars = CharsOf(strName);
  return std::find(vChars.begin(), vChars.end(), ",") == vChars.end() &&
         !EndsInLoneLead(strName);
}

int RefSearch(const std::string& strTarget, std::string& strSub, int bCopyMatch,
              int bMatchCase) {
  if (strTarget.empty() || strSub.empty()) return -1;
  for (const std::string& strItem : ItemsOf(strTarget).vItems) {
    if (!Same(strItem, strSub, bMatchCase)) continue;
    if (bCopyMatch) strSub = strItem;
    return 1;
  }
  return 0;
}

bool RefFound(const std::string& strList, const std::string& strUser) {
  std::string strProbe = strUser;
  return !strList.empty() && RefSearch(strList, strProbe, 0, 0) == 1;
}

std::string RefDelete(const std::string& strTarget, const std::string& strSub) {
  if (strTarget.empty() || strSub.empty()) return strTarget;
  Items items = ItemsOf(strTarget);
  std::string strOut;
  for (const std::string& strItem : items.vItems)
    if (strItem != strSub) strOut += strItem + ",";
  strOut += items.strTail;
  if (!strOut.empty() && strOut.back() != ',') strOut += ',';
  return strOut;
}

std::string RefReplace(const std::string& strTarget, const std::string& strSrc,
                       const std::string& strDst) {
  if (strTarget.empty() || strSrc.empty() || strDst.empty()) return strTarget;
  std::string strOld = strSrc;
  RefSearch(strTarget, strOld, 1, 0);
  Items items = ItemsOf(strTarget);
  std::string strOut;
  for (const std::string& strItem : items.vItems)
    strOut += (strItem == strOld ? strDst : strItem) + ",";
  return strOut + items.strTail;
}

std::vector<std::string> RefSplit(const std::string& s,
                                  const std::string& strDelim) {
  if (s.empty() || strDelim.empty()) return {};
  std::vector<std::string> vItems;
  size_t nStart = 0;
  size_t nPos = 0;
  for (const std::string& strChar : CharsOf(s)) {
    if (nPos >= nStart && s.compare(nPos, strDelim.size(), strDelim) == 0) {
      vItems.push_back(s.substr(nStart, nPos - nStart));
      nStart = nPos + strDelim.size();
    }
    nPos += strChar.size();
  }
  vItems.push_back(s.substr(nStart));
  return vItems;
}

int RefTrim(const std::string& strIn, std::string& strOut) {
  Items items = ItemsOf(strIn);
  items.vItems.push_back(items.strTail);
  std::vector<std::string> vKept;
  bool bAdmin = false;
  for (const std::string& strName : items.vItems) {
    if (strName.empty()) continue;
    bAdmin = bAdmin || Lower(strName) == "admin";
    if (std::find(vKept.begin(), vKept.end(), strName) == vKept.end())
      vKept.push_back(strName);
  }
  strOut = bAdmin ? "" : "admin,";
  for (const std::string& strName : vKept) strOut += strName + ",";
  if (Lower(strOut) == Lower(strIn)) return 0;
  return bAdmin ? 1 : 2;
}

// The list nKey of the Folder.ini bytes as the edits see it; false for a
// key that is no list.
bool RefList(const FolderIni& ini, int nKey, std::string& strList) {
  return (nKey == kKeyUserNameList || nKey == kKeyReadOnlyUserList) &&
         GetIniValue(ini.strData, nKey, strList) >= 0;
}

int RefAdd(const FolderIni& ini, int nKey, const std::string& strUser,
           std::string& strOut) {
  std::string strList;
  if (strUser.empty() || !RefList(ini, nKey, strList)) return -9;
  bool bFound = RefFound(strList, strUser);
  strOut = bFound ? strList : strList + strUser + ",";
  return bFound ? 0 : 1;
}

int RefDeleteUser(const FolderIni& ini, int nKey, const std::string& strUser,
                  std::string& strOut) {
  std::string strList;
  if (strUser.empty() || !RefList(ini, nKey, strList)) return -9;
  if (!RefFound(strList, strUser)) {
    strOut = strList;
    return 0;
  }
  strOut = RefDelete(strList, strUser);
  return strOut.empty() ? -9 : 1;
}

int RefRename(const FolderIni& ini, int nKey, const std::string& strOld,
              const std::string& strNew, std::string& strOut) {
  std::string strList;
  if (strOld.empty() || strNew.empty() || !RefList(ini, nKey, strList))
    return -9;
  if (!RefFound(strList, strOld)) {
    strOut = strList;
    return 0;
  }
  strOut = RefReplace(strList, strOld, strNew);
  return strOut.empty() ? -9 : 1;
}

// Whole characters in, whole characters out: every character of a result
// is one of its inputs' characters, a comma, or one of "admin".
void CheckWholeChars(const std::string& strResult,
                     const std::vector<std::string>& vInputs) {
  for (const std::string& strIn : vInputs)
    if (!IsWholeCp932(strIn)) return;
  FUZZ_CHECK(IsWholeCp932(strResult));
  std::string strAll = ",admin";
  for (const std::string& strIn : vInputs) strAll += strIn;
  std::vector<std::string> vAll = CharsOf(strAll);
  std::sort(vAll.begin(), vAll.end());
  for (const std::string& strChar : CharsOf(strResult))
    FUZZ_CHECK(std::binary_search(vAll.begin(), vAll.end(), strChar));
}

void CheckSearch(const std::string& strList, const std::string& strName) {
  for (int nMode = 0; nMode < 4; ++nMode) {
    std::string strSub = strName;
    std::string strRef = strName;
    int nRet = SearchUserString(strList, strSub, nMode & 1, nMode >> 1);
    int nRef = RefSearch(strList, strRef, nMode & 1, nMode >> 1);
    FUZZ_CHECK(nRet == nRef);
    FUZZ_CHECK(strSub == strRef);
  }
}

void CheckDelete(const std::string& strList, const std::string& strName) {
  std::string strOut = DeleteUserString(strList, strName);
  FUZZ_CHECK(strOut == RefDelete(strList, strName));
  // The name is no item of the result, unless it was the text behind the
  // list's last comma, which the closing comma makes the last item.
  if (!strName.empty()) {
    std::vector<std::string> vItems = ItemsOf(strOut).vItems;
    auto it = std::find(vItems.begin(), vItems.end(), strName);
    FUZZ_CHECK(it == vItems.end() ||
               (it + 1 == vItems.end() && ItemsOf(strList).strTail == strName));
  }
  CheckWholeChars(strOut, {strList});
}

void CheckReplace(const std::string& strList, const std::string& strOld,
                  const std::string& strNew) {
  std::string strOut = ReplaceUserString(strList, strOld, strNew);
  FUZZ_CHECK(strOut == RefReplace(strList, strOld, strNew));
  // The new spelling stands where each old one stood, every other item
  // stays.
  std::string strSpelling = strOld;
  if (!strNew.empty() && RefSearch(strList, strSpelling, 1, 0) == 1) {
    std::vector<std::string> vBefore = ItemsOf(strList).vItems;
    std::vector<std::string> vAfter = ItemsOf(strOut).vItems;
    FUZZ_CHECK(vBefore.size() == vAfter.size());
    for (size_t n = 0; n < vBefore.size() && n < vAfter.size(); ++n)
      FUZZ_CHECK(vAfter[n] ==
                 (vBefore[n] == strSpelling ? strNew : vBefore[n]));
  }
  CheckWholeChars(strOut, {strList, strNew});
}

void CheckTrim(const std::string& strList) {
  std::string strOut = "stale";
  std::string strRef;
  int nRet = TrimDuplicateUserList(strList, strOut);
  if (EndsInLoneLead(strList)) return;
  FUZZ_CHECK(nRet == RefTrim(strList, strRef));
  FUZZ_CHECK(strOut == strRef);
  // No duplicate, admin held, the rest in the order of first occurrence.
  Items items = ItemsOf(strOut);
  FUZZ_CHECK(items.strTail.empty());
  std::set<std::string> setSeen;
  bool bAdmin = false;
  for (const std::string& strItem : items.vItems) {
    FUZZ_CHECK(!strItem.empty() && setSeen.insert(strItem).second);
    bAdmin = bAdmin || Lower(strItem) == "admin";
  }
  FUZZ_CHECK(bAdmin);
  CheckWholeChars(strOut, {strList});
}

void CheckSplit(const std::string& s, const std::string& strDelim) {
  std::vector<std::string> vItems = {"stale"};
  split(s, strDelim, vItems);
  if (EndsInLoneLead(strDelim)) return;
  FUZZ_CHECK(vItems == RefSplit(s, strDelim));
  std::string strJoined;
  for (size_t n = 0; n < vItems.size(); ++n)
    strJoined += (n == 0 ? "" : strDelim) + vItems[n];
  FUZZ_CHECK(strJoined == (strDelim.empty() ? "" : s));
  for (const std::string& strItem : vItems)
    CheckWholeChars(strItem, {s, strDelim});
}

void CheckEdits(const FolderIni& ini, int nKey, const std::string& strUser,
                const std::string& strNew) {
  std::string strOut = "stale";
  std::string strRef = "stale";
  FUZZ_CHECK(addUser(ini, nKey, strUser, strOut) ==
             RefAdd(ini, nKey, strUser, strRef));
  FUZZ_CHECK(strOut == strRef);
  strOut = strRef = "stale";
  FUZZ_CHECK(deleteUser(ini, nKey, strUser, strOut) ==
             RefDeleteUser(ini, nKey, strUser, strRef));
  FUZZ_CHECK(strOut == strRef);
  strOut = strRef = "stale";
  FUZZ_CHECK(renameUser(ini, nKey, strUser, strNew, strOut) ==
             RefRename(ini, nKey, strUser, strNew, strRef));
  FUZZ_CHECK(strOut == strRef);
}

// Runs the list functions on one list; with names outside the contracts
// only for crashes.
void CheckList(const std::string& strList, const std::string& strName,
               const std::string& strNew, bool bNames) {
  CheckTrim(strList);
  if (bNames) {
    CheckSearch(strList, strName);
    CheckDelete(strList, strName);
    CheckReplace(strList, strName, strNew);
    return;
  }
  std::string strSub = strName;
  SearchUserString(strList, strSub, 1, 0);
  DeleteUserString(strList, strName);
  ReplaceUserString(strList, strName, strNew);
}

// Runs the edits on every key number, good or bad.
void CheckAllEdits(const FolderIni& ini, const std::string& strName,
                   const std::string& strNew, bool bNames) {
  for (int nKey = kKeyNameList; nKey <= kKeyUserList; ++nKey) {
    if (bNames) {
      CheckEdits(ini, nKey, strName, strNew);
      continue;
    }
    std::string strOut;
    addUser(ini, nKey, strName, strOut);
    deleteUser(ini, nKey, strName, strOut);
    renameUser(ini, nKey, strName, strNew, strOut);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  std::vector<std::string> vFields = FuzzFields(pData, nSize, 4);
  FolderIni ini;
  ini.strFolder = "cabinet";
  ini.bExists = true;
  ini.strData = vFields[0];
  bool bNames = IsName(vFields[1]) && IsName(vFields[2]);
  // The bytes taken as one list, and the lists as the tool reads them from
  // the same bytes taken as a Folder.ini.
  CheckList(vFields[0], vFields[1], vFields[2], bNames);
  for (int nKey : {kKeyUserNameList, kKeyReadOnlyUserList}) {
    std::string strList;
    if (GetIniValue(ini.strData, nKey, strList) == 1)
      CheckList(strList, vFields[1], vFields[2], bNames);
  }
  CheckSplit(vFields[0], vFields[3]);
  CheckAllEdits(ini, vFields[1], vFields[2], bNames);
  return 0;
}
