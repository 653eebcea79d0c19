// Status listings: who has which access to a cabinet (listCabinetAuth) and
// one user's access to it (listAuth), written as LST / USR records.
//
// A cabinet without access lists grants everybody full access: every
// registered user update and browse, the general viewer browse.
//
// Results:
//   listCabinetAuth  1 listed; 0 passed over (no access lists, bListAll 0);
//                    -1 failed (one NG record written)
//   listAuth         1 reported; -1 failed (one NG record written)
// Every cabinet listed or failed is counted in the run counters.
#pragma once

#include <string>

// Lists every user's access to the cabinet; bListAll also lists cabinets
// without access lists.
int listCabinetAuth(const std::string& strLib, const std::string& strCab,
                    const std::string& strCabinetPath, int bListAll);

// Reports strUsername's access to the cabinet.
int listAuth(const std::string& strUsername, const std::string& strLib,
             const std::string& strCab, const std::string& strCabinetPath);
