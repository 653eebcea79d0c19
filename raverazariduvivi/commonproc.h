// User-list strings and the retrying file routines.
//
// A user list is names each followed by one comma ("alice,bob,"); the empty
// string is the empty list. Names are found only as whole items, and every
// search is multibyte-aware (commonproc_mbcs.h).
//
// Results:
//   SearchUserString   1 found, 0 not found, -1 an argument is empty
//   MyReadFile         kPlatReadOk, kPlatReadMissing or kPlatReadFailed
//                      (also when the file stayed busy through every try)
//   MyCopyFile, MyDeleteFile, MyMoveFile   true success, false failure
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// The name every access list must keep.
extern const char kAdminName[];

// Returns strFolder and strName joined by the platform's path separator.
std::string JoinPath(const std::string& strFolder, const std::string& strName);

// Cuts s at every occurrence of delim into vItems (replaced): n delimiters
// give n + 1 items, empty ones included. An empty s or delim gives no items.
void split(const std::string& s, const std::string& delim,
           std::vector<std::string>& vItems);

// Returns the non-empty items of a comma-ended list, in order.
std::vector<std::string> NamesOf(const std::string& strList);

// Looks strSub up as a whole item of the list strTarget, ignoring case
// unless bMatchCase is set. With bCopyMatch set, a match overwrites strSub
// with the spelling that the list has.
int SearchUserString(const std::string& strTarget, std::string& strSub,
                     int bCopyMatch, int bMatchCase);

// An index of the whole items of one user list, for many lookups in the
// same list. A regular list (every comma byte in it separates two items,
// none is the trail byte of a double-byte character) is answered from a
// hash set; any other list, and a name holding a comma byte, by
// SearchUserString, so that both give the same answer always.
struct UserListIndex {
  UserListIndex() = default;
  // The set points into strKeyed, so an index is neither copied nor moved.
  UserListIndex(const UserListIndex&) = delete;
  UserListIndex& operator=(const UserListIndex&) = delete;

  std::string strList;
  int bMatchCase = 0;
  bool bRegular = false;
  std::string strKeyed;  // strList, lower-cased unless bMatchCase
  std::unordered_set<std::string_view> setItems;  // comma-ended items of
                                                  // strKeyed
};

// Indexes strList for lookups that ignore case unless bMatchCase is set.
void IndexUserList(const std::string& strList, int bMatchCase,
                   UserListIndex& index);

// Returns true iff SearchUserString(index.strList, strName, 0,
// index.bMatchCase) finds strName.
bool IsInUserList(const UserListIndex& index, const std::string& strName);

// Returns true iff every comma byte of strList separates two items.
bool IsRegularUserList(const std::string& strList);

// Returns the list without every whole item spelled exactly as strSub, back
// to back duplicates included; a non-empty result ends with one comma.
std::string DeleteUserString(const std::string& strTarget,
                             const std::string& strSub);

// Returns the list with every whole item spelled as strSrcSub (in the
// spelling of its first case-blind match) replaced by strDstSub, back to
// back duplicates included.
std::string ReplaceUserString(const std::string& strTarget,
                              const std::string& strSrcSub,
                              const std::string& strDstSub);

// Returns PlatGetFileKind of the path; a query that fails (kPlatQueryFailed)
// is traced with its cause.
int MyGetFileKind(const std::string& strPath);

// Reads the whole file into strData; a file that another process holds
// open without sharing is tried up to five times, one second apart. With
// bOwn only the account's own file is read, never through a link
// (PlatReadOwnFile).
int MyReadFile(const std::string& strPath, std::string& strData,
               bool bOwn = false);

// Copies strSrc over strDst, up to five tries one second apart. Returns true
// iff strDst then holds a complete copy of strSrc.
bool MyCopyFile(const std::string& strSrc, const std::string& strDst);

// Deletes strDst, up to five tries one second apart. Returns true iff it is
// gone (also when it never existed).
bool MyDeleteFile(const std::string& strDst);

// Moves strSrc over strDst: an atomic replace, up to five tries one second
// apart; where the system refuses an atomic replace, a retried copy and
// delete. A link or other non-regular file at either path fails the move at
// once. Returns true iff strDst holds strSrc's content.
bool MyMoveFile(const std::string& strSrc, const std::string& strDst);
