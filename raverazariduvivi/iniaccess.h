// Store layout, INI reading and the Folder.ini rewrite.
//
// Key numbers of getKeyValue and existUser:
//   0  Folder.ini  [FolderInfo]   NameList          children of a folder
//   1  Folder.ini  [ReadUserInfo] UserNameList      update list of a cabinet
//   2  Folder.ini  [ReadUserInfo] ReadOnlyUserList  browse list of a cabinet
//   3  User.ini    [UserInfo]     UserList          registered users
//
// Every INI file is read once, whole, and its values are looked up in
// those bytes with the portable private-profile reader (profile_reader.h),
// so a read that fails is always told apart from a missing key.
//
// Results:
//   getKeyValue   1 a non-empty value (ending in a comma) is in strValue;
//                 0 the key is missing or empty (strValue emptied);
//                 -1 the INI file does not exist, or no memory;
//                 -9 empty folder, bad key, a path over 1,023 bytes, or a
//                 file that exists but cannot be read (also a FIFO, a
//                 device, or a file held busy through every retry)
//   GetIniValue   1, 0 as getKeyValue; -1 no memory; -9 bad key
//   GetRegisteredUsers  getKeyValue's result for User.ini's UserList
//   ReadFolderIni 1 read; 0 no Folder.ini (nothing at its path); -9 it
//                 cannot be read, or the folder is empty or too long
//   existUser     1 the user is in the list; 0 not, or no list;
//                 -1 bad argument
//   WriteAndCheckFolderIni
//                 1 written (modes 0, 1), nothing to delete (mode 1), or the
//                 section exists (mode 2); 0 no section or no Folder.ini
//                 (mode 2); -2 Folder.ini.new cannot be created, written,
//                 flushed or closed; -4 the replace of Folder.ini failed;
//                 -5 Folder.ini is no regular file (a link, a FIFO) and is
//                 never written; -6 the new file would not read back with
//                 the lists written (modes 0, 1; see below), nothing is
//                 written; -9 bad argument or an unexpected error
//                 -7 the commit decision refused the write (its backup
//                 could not be written); nothing is written
//   PutFolderIni  1 replaced; -2, -4, -5, -7 as WriteAndCheckFolderIni
//   RemoveFolderIni
//                 1 removed (or nothing there); -3 the delete failed; -5, -7
//                 as WriteAndCheckFolderIni
//   RewriteFolderIniData
//                 1 the old bytes hold a [ReadUserInfo] section, 0 not;
//                 -6 (modes 0, 1) the reader would not take the lists
//                 written (none in mode 1) from the new bytes
//
// The rewrite starts from the bytes read by ReadFolderIni: a line ends at
// LF, a CR before it is dropped, and every other byte (0x1A and NUL
// included) passes through. Lines are trimmed of spaces and tabs and blank
// lines are dropped. The [ReadUserInfo] section (header matched on its
// first 14 bytes, case-blind) is replaced by, or in mode 1 stripped of, the
// block
//   "" / "[ReadUserInfo]" / "UserNameList=..." / "ReadOnlyUserList=..."
// A second [ReadUserInfo] section is removed. Every line is written with
// CR LF into Folder.ini.new, created afresh (a leftover of that name is
// removed first, never followed), which then replaces Folder.ini
// atomically. The reader ends a line at a lone CR as well and trims more
// blanks (profile_reader.h), so it may see a [ReadUserInfo] section that
// these rules miss, before the one written; such a rewrite would change
// nothing the reader sees and is refused (-6).
#pragma once

#include <string>

#include "commonproc.h"

constexpr int kKeyNameList = 0;
constexpr int kKeyUserNameList = 1;
constexpr int kKeyReadOnlyUserList = 2;
constexpr int kKeyUserList = 3;

// Negative results of the rewrites, named for the callers that decode them.
constexpr int kRewriteReadFailed = -1;  // a caller's: Folder.ini unreadable
constexpr int kRewriteNewFailed = -2;
constexpr int kRewriteDeleteFailed = -3;
constexpr int kRewriteMoveFailed = -4;
constexpr int kRewriteNotRegular = -5;
constexpr int kRewriteNoReadBack = -6;
constexpr int kRewriteNotCommitted = -7;

constexpr int kIniWrite = 0;
constexpr int kIniDelete = 1;
constexpr int kIniCheck = 2;

// One folder's Folder.ini as read once: its folder, whether it exists, and
// every byte of it.
struct FolderIni {
  std::string strFolder;
  bool bExists = false;
  std::string strData;
};

// Reads value nKey of the INI file in strFolder into strValue.
int getKeyValue(const std::string& strFolder, int nKey, std::string& strValue);

// Looks value nKey up in the bytes of an INI file already read.
int GetIniValue(const std::string& strIniData, int nKey, std::string& strValue);

// Reads the registered users, User.ini's UserList in the data folder
// strFolder, indexed for exact lookups; pUsers points at them after 1. The
// answer is kept and given again while User.ini's size and modification
// time stay the same, so a run reads User.ini once unless it changes.
int GetRegisteredUsers(const std::string& strFolder,
                       const UserListIndex*& pUsers);

// Reads strFolder's Folder.ini, whole, into ini.
int ReadFolderIni(const std::string& strFolder, FolderIni& ini);

// Tells whether strUser is an item (case-blind) of list nKey (1 or 2) of the
// cabinet's Folder.ini; with bSetValue set the list is copied into strValue.
int existUser(const FolderIni& ini, int nKey, const std::string& strUser,
              std::string& strValue, int bSetValue);

// Decides what becomes of a change of the Folder.ini read into ini, once
// every check that needs no writing has passed: its new bytes *pNew, or its
// removal (pNew null). kCommitWrite carries it out, kCommitSkip does nothing
// and lets the change succeed (a preview), kRewriteNotCommitted fails it.
// A skipped change is kept: every later read of that Folder.ini (through
// ReadFolderIni or getKeyValue) sees what the change would have left, its
// bytes or no file, and a later change of it takes it for the regular file
// the change would have written; so a preview that comes back to a cabinet
// goes on as the real run would.
constexpr int kCommitWrite = 1;
constexpr int kCommitSkip = 0;
using FolderIniCommit = int (*)(const FolderIni& ini, const std::string* pNew);

// Sets the decision of every later rewrite; nullptr (the default) writes.
// Forgets the skipped changes kept so far.
void SetFolderIniCommit(FolderIniCommit fnCommit);

// What the last skipped change of the INI file strIniFile left: 1 its bytes
// (in strData), -1 no file, 0 no skipped change stands for that file.
int SkippedChangeOf(const std::string& strIniFile, std::string& strData);

// Writes (mode 0), removes (mode 1) or looks for (mode 2) the [ReadUserInfo]
// section of the Folder.ini read into ini.
int WriteAndCheckFolderIni(const FolderIni& ini,
                           const std::string& strUserNameList,
                           const std::string& strReadOnlyUserList, int nMode);

// Replaces the Folder.ini read into ini (creates it when there was none) by
// exactly strData, through Folder.ini.new and the atomic replace.
int PutFolderIni(const FolderIni& ini, const std::string& strData);

// Removes the Folder.ini read into ini.
int RemoveFolderIni(const FolderIni& ini);

// Builds into strOut (replaced) the bytes that the rewrite in mode nMode
// makes of Folder.ini's bytes strData (mode 2 builds those of mode 1).
int RewriteFolderIniData(const std::string& strData,
                         const std::string& strUserNameList,
                         const std::string& strReadOnlyUserList, int nMode,
                         std::string& strOut);

// Removes the [ReadUserInfo] section of the Folder.ini read into ini.
int deleteReadUserInfo(const FolderIni& ini);
