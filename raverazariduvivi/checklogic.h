// Installation discovery, administrator check, single-instance guard and
// user-name check.
//
// Results of checkCSServerInstall:
//    1 installed, version supported, data folder and User.ini present;
//      g_strDataPath is set
//    0 the registry key is missing, its default value is empty, or no file
//      exists at that path
//   -3 the version is empty or lower than "V50L50" (string comparison)
//   -9 the program's folder is missing, Tenbo2Lib.ini is missing there, or
//      DataFolder does not fit in 258 bytes
//   -1 DataFolder is empty
//   -2 DataFolder is not an existing folder
//   -4 the data folder holds no User.ini
// Results of checkUserName (first rule that applies):
//   -9 empty or longer than 300 bytes; -1 "admin" in any case; -2 a
//   forbidden character; 1 acceptable (bExist clear) or registered; 0 not
//   registered, or UserList missing, empty or unreadable
#pragma once

#include <string>

// The data folder, without a trailing separator; set once by
// checkCSServerInstall.
extern std::string g_strDataPath;

// Finds the installation and sets g_strDataPath.
int checkCSServerInstall();

// Compares a version level with the minimum "V50L50", ASCII case-blind.
// Returns true iff it is not empty and not lower.
bool IsSupportedVersion(const std::string& strVersion);

// Cuts the last path element (mode 0) or only trailing separators (mode 1)
// from czPath in place. Returns true iff a non-empty path remains.
bool MyGetPathFunc(std::string& czPath, int mode);

// Returns 1 when this is the only copy running, 0 otherwise.
int checkMutex();

// Returns 1 when the process runs as an administrator, 0 otherwise.
int checkAdmin();

// Vets a user name; with bExist set it must be in User.ini's UserList, and a
// match gives strUsername the spelling that User.ini has.
int checkUserName(std::string& strUsername, int bExist);
