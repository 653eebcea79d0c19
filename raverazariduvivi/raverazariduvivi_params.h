// The command line.
//
// Every argument is matched as a whole and case-blind (multibyte), so /SET
// and !ReadUser are accepted. A location is "library" or "library/cabinet";
// /copyauth needs both parts. The pseudo-user "!readuser" is held as
// "一般閲覧者!", the name the access lists use for the general viewer.
//
// Results of getParams:
//   1 accepted, the record is filled
//   0 refused; one error line has been printed
//   2 the usage text has been printed
#pragma once

#include <string>
#include <vector>

#include "raverazariduvivi_common.h"

// The parsed command line. Names are held without a fixed capacity.
struct ParamInfo {
  int nMode = 0;
  int nUserAuth = 0;
  std::string strOldUsername;
  std::string strUsername;
  std::string strLibname;
  std::string strCabname;
  std::string strNewLibname;
  std::string strNewCabname;
  std::string strUndoStamp;   // /undo: the 14 digits of the run's files
  std::string strSinceStamp;  // /report /since: those of the earlier report
};

// Parses vArgs (program path first, CP932) into lpParamInfo, validating
// names against the store.
int getParams(const std::vector<std::string>& vArgs, ParamInfo* lpParamInfo);
