// The changing operations, one call per cabinet of the walk.
//
// Each writes its own records and counts the cabinet it takes as a target
// (one success or one error). A change is written to Folder.ini in one
// rewrite, and its OK records only after that rewrite succeeded; a failure
// writes exactly one NG record instead and leaves Folder.ini as it was.
//
// Results (all five):
//    1 the cabinet was changed (copyAuth: the destination was written)
//    0 the cabinet was passed over: no access lists, or nothing to change;
//      no record, no count
//   -1 the cabinet failed; one NG record
// copyAuth of a source without access lists returns resetAuth's result for
// the destination.
#pragma once

#include <string>

// /set (nMode 1, only cabinets with access lists) and /setforce (nMode 2):
// gives strUsername update and browse (nUserAuth 1), browse only (2) or no
// access (9).
int setAuth(int nMode, int nUserAuth, const std::string& strUsername,
            const std::string& strLib, const std::string& strCab,
            const std::string& strCabinetPath);

// /rename: puts strNewUsername in place of strOldUsername in both lists.
int renameAuth(const std::string& strOldUsername,
               const std::string& strNewUsername, const std::string& strLib,
               const std::string& strCab, const std::string& strCabinetPath);

// /copyauth: gives the destination cabinet the source's two lists as they
// stand, or removes the destination's when the source has none.
int copyAuth(const std::string& strSrcLibname, const std::string& strSrcCabname,
             const std::string& strSrcCabinetPath,
             const std::string& strDstLibname,
             const std::string& strDstCabname);

// /cleanup: removes every name that User.ini does not register (admin and,
// from the browse list, the general viewer stay).
int cleanupAuth(const std::string& strLib, const std::string& strCab,
                const std::string& strCabinetPath);

// /reset-cabinetauth: removes the cabinet's [ReadUserInfo] section.
int resetAuth(const std::string& strLib, const std::string& strCab,
              const std::string& strCabinetPath);

// Makes every later change of Folder.ini a preview (bPreview: each check,
// edit and record as in a real run, but no Folder.ini or Folder.ini.new is
// written, and later reads see what would have been, iniaccess.h) or real,
// each change kept first in the backup file named after strTimestamp
// (raverazariduvivi_backup.h).
void PrepareChanges(bool bPreview, const std::string& strTimestamp);
