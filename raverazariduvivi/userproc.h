// Edits of one user in one access list of one cabinet.
//
// The edits take list nKey (1 UserNameList, 2 ReadOnlyUserList) from the
// bytes of the cabinet's Folder.ini, read once by the caller, and hand the
// new list back; they never read or write a file.
//
// Results of addUser, renameUser, deleteUser:
//    1 the list changed; strKeyValue holds the new list
//    0 nothing to do; strKeyValue holds the current list
//   -9 failure (also when the edit would empty the list)
// Results of TrimDuplicateUserList:
//    0 output equals input (case-blind); 1 it differs and "admin" was in
//    the input; 2 "admin" was added at the front
#pragma once

#include <string>

#include "iniaccess.h"

// Appends strUser to the list unless it is there (case-blind).
int addUser(const FolderIni& ini, int nKey, const std::string& strUser,
            std::string& strKeyValue);

// Replaces strOldUser (case-blind) by strNewUser.
int renameUser(const FolderIni& ini, int nKey, const std::string& strOldUser,
               const std::string& strNewUser, std::string& strKeyValue);

// Removes strUser (exact spelling) from the list.
int deleteUser(const FolderIni& ini, int nKey, const std::string& strUser,
               std::string& strKeyValue);

// Drops duplicates (case counts) and empty items, and puts "admin," in front
// when no item is "admin" in any case. strOutUserList is replaced.
int TrimDuplicateUserList(const std::string& strInUserList,
                          std::string& strOutUserList);
