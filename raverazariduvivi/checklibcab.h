// Library and cabinet lookup.
//
// A library or cabinet exists only when its folder exists and its name is
// an item (case-blind) of the NameList of its parent's Folder.ini. A name
// that is empty, "." or "..", or holds "/" or "\" (multibyte-aware), is
// never found, so nothing outside the data folder is ever reached.
//
// Results:
//   GetLibraryList, GetCabinetList  1 non-empty list; 0 no list (missing
//                                   key, empty value, no Folder.ini);
//                                   -1 Folder.ini cannot be read
//   existLibrary, existCabinet,     1 exists (path written); 0 does not;
//   existListedLibrary,             -1 the parent's Folder.ini cannot be
//   existListedCabinet              read
//   existInFolderIni                1 listed; 0 not listed, no Folder.ini
//                                   or no NameList; -1 parent missing,
//                                   empty name, or Folder.ini unreadable
//   checkCabinetAuth                1 [ReadUserInfo] present; 0 absent or
//                                   no Folder.ini; -9 Folder.ini cannot be
//                                   read or the check failed
#pragma once

#include <string>

#include "iniaccess.h"

// Reads the data folder's NameList into strLibraryList.
int GetLibraryList(std::string& strLibraryList);

// Reads the library's NameList into strCabinetList.
int GetCabinetList(const std::string& strLibrary, std::string& strCabinetList);

// Tells whether the library exists; on success writes its folder path.
int existLibrary(const std::string& strLibrary, std::string& strLibraryPath);

// Tells whether the cabinet exists; on success writes its folder path.
int existCabinet(const std::string& strLibrary, const std::string& strCabinet,
                 std::string& strCabinetPath);

// Tells, as existLibrary does, whether a library that the data folder's
// NameList names exists, without reading that list again.
int existListedLibrary(const std::string& strLibrary,
                       std::string& strLibraryPath);

// Tells, as existCabinet does, whether a cabinet that its library's NameList
// names exists, without reading that list again.
int existListedCabinet(const std::string& strLibrary,
                       const std::string& strCabinet,
                       std::string& strCabinetPath);

// Tells whether strName is listed in the NameList of strParent's Folder.ini.
int existInFolderIni(const std::string& strParent, const std::string& strName);

// Reads the cabinet's Folder.ini into ini, once, and tells whether it has a
// [ReadUserInfo] section; the caller goes on with those same bytes.
int checkCabinetAuth(const std::string& strCabinetPath, FolderIni& ini);

// Returns true iff the name can be a library or cabinet folder name.
bool IsSafeFolderName(const std::string& strName);
