#include "raverazariduvivi_params.h"

#include "checklibcab.h"
#include "checklogic.h"
#include "commonproc.h"
#include "commonproc_mbcs.h"
#include "raverazariduvivi_trace.h"

namespace {

// Every trace line of the parser is getParams's.
const char kFunc[] = "getParams";

const char kMsgBadArgs[] = "引数に誤りがあります。";
const char kMsgNoArgs[] = "引数を指定してください。";
const char kMsgArgCount[] = "引数の数が範囲外です。";
const char kMsgNoLibrary[] = "指定した書庫が存在しません。";
const char kMsgNoCabinet[] = "指定したキャビネットが存在しません。";
const char kMsgNoUser[] = "指定したユーザーが存在しません。";
const char kMsgAdmin[] = "ユーザー名に\"admin\"は指定できません。";
const char kMsgBadChar[] = "ユーザー名に使用できない文字が含まれています。";
const char kMsgViewerRW[] = "一般閲覧者に更新権限は設定できません。";
const char kMsgSameUser[] =
    "変更前ユーザーと変更後ユーザーに同じ名前を指定することはできません。";
const char kMsgSamePlace[] =
    "コピー元キャビネットとコピー先キャビネットに同じ場所を指定することはでき"
    "ません。";
const char kMsgDestHasAuth[] =
    "コピー先キャビネットにアクセス権限情報が設定されているため、実行できませ"
    "ん。";
const char kMsgOther[] = "その他のエラーが発生しました。";
const char kReadUser[] = "!readuser";

const char* const kCommands[] = {"/set",
                                 "/setforce",
                                 "/rename",
                                 "/copyauth",
                                 "/cleanup",
                                 "/reset-cabinetauth",
                                 "/list-authstatus",
                                 "/listall-authstatus",
                                 "/user-authstatus",
                                 "/undo",
                                 "/report"};
const int kCommandModes[] = {kModeSet,      kModeSetForce, kModeRename,
                             kModeCopyAuth, kModeCleanup,  kModeReset,
                             kModeList,     kModeListAll,  kModeUserStatus,
                             kModeUndo,     kModeReport};

// Prints the refusal and traces it; the two count refusals are traced as
// the general argument error.
int Refuse(const std::string& strMsg, const std::string& strDetail) {
  DispErrMsg(strMsg, strDetail);
  bool bCount = strMsg == kMsgNoArgs || strMsg == kMsgArgCount;
  TRACE_AS(kFunc, bCount ? std::string(kMsgBadArgs) : strMsg);
  return 0;
}

int RefuseCount(const char* pszMsg, size_t nArgc) {
  return Refuse(pszMsg, std::to_string(nArgc));
}

// Checks a location argument into strLib and strCab; bStrict requires a
// cabinet. strCabPath receives the cabinet's folder when one is named.
int CheckLocation(const std::string& strArg, bool bStrict, std::string& strLib,
                  std::string& strCab, std::string& strCabPath) {
  if (strArg.empty()) return Refuse(kMsgBadArgs, "");
  std::vector<std::string> vPieces;
  split(strArg, "/", vPieces);
  if (vPieces.size() > 2 || (bStrict && vPieces.size() != 2))
    return Refuse(kMsgBadArgs, strArg);
  std::string strLibPath;
  if (existLibrary(vPieces[0], strLibPath) != 1)
    return Refuse(kMsgNoLibrary, vPieces[0]);
  strLib = vPieces[0];
  if (vPieces.size() == 1) return 1;
  if (existCabinet(vPieces[0], vPieces[1], strCabPath) != 1)
    return Refuse(kMsgNoCabinet, vPieces[1]);
  strCab = vPieces[1];
  return 1;
}

int CheckLocation(const std::string& strArg, ParamInfo* lpParamInfo) {
  std::string strCabPath;
  return CheckLocation(strArg, false, lpParamInfo->strLibname,
                       lpParamInfo->strCabname, strCabPath);
}

// Vets a user name into strField; with bAdminOk "admin" is accepted.
int CheckUserArg(const std::string& strArg, int bExist, bool bAdminOk,
                 std::string& strField) {
  std::string strName = strArg;
  int nRet = checkUserName(strName, bExist);
  if (nRet == 0) return Refuse(kMsgNoUser, strArg);
  if (nRet == -1 && !bAdminOk) return Refuse(kMsgAdmin, "");
  if (nRet == -2) return Refuse(kMsgBadChar, strArg);
  if (nRet == -9) return Refuse(kMsgBadArgs, strArg);
  strField = strName;
  return 1;
}

int ParseSet(const std::vector<std::string>& vArgs, ParamInfo* lpParamInfo) {
  if (vArgs.size() < 4 || vArgs.size() > 5)
    return RefuseCount(kMsgArgCount, vArgs.size());
  const std::string& strAuth = vArgs[2];
  if (MbEqualNoCase(strAuth, "/rw"))
    lpParamInfo->nUserAuth = kAuthRW;
  else if (MbEqualNoCase(strAuth, "/r"))
    lpParamInfo->nUserAuth = kAuthR;
  else if (MbEqualNoCase(strAuth, "/none"))
    lpParamInfo->nUserAuth = kAuthNone;
  else
    return Refuse(kMsgBadArgs, strAuth);
  if (MbEqualNoCase(vArgs[3], kReadUser)) {
    if (lpParamInfo->nUserAuth == kAuthRW) return Refuse(kMsgViewerRW, "");
    lpParamInfo->strUsername = kGeneralViewerName;
  } else if (CheckUserArg(vArgs[3], 1, false, lpParamInfo->strUsername) != 1) {
    return 0;
  }
  return vArgs.size() == 5 ? CheckLocation(vArgs[4], lpParamInfo) : 1;
}

int ParseRename(const std::vector<std::string>& vArgs, ParamInfo* lpParamInfo) {
  if (vArgs.size() != 4) return RefuseCount(kMsgBadArgs, vArgs.size());
  if (CheckUserArg(vArgs[2], 0, false, lpParamInfo->strOldUsername) != 1 ||
      CheckUserArg(vArgs[3], 1, false, lpParamInfo->strUsername) != 1)
    return 0;
  if (MbEqualNoCase(lpParamInfo->strOldUsername, lpParamInfo->strUsername))
    return Refuse(kMsgSameUser, vArgs[2] + "," + vArgs[3]);
  return 1;
}

int ParseCopy(const std::vector<std::string>& vArgs, ParamInfo* lpParamInfo) {
  if (vArgs.size() < 4 || vArgs.size() > 5)
    return RefuseCount(kMsgBadArgs, vArgs.size());
  bool bOverwrite = MbEqualNoCase(vArgs[2], "/overwrite");
  const std::string& strSrc = bOverwrite ? vArgs[3] : vArgs[2];
  std::string strDst =
      bOverwrite ? (vArgs.size() == 5 ? vArgs[4] : "") : vArgs[3];
  std::string strSrcPath, strDstPath;
  if (CheckLocation(strSrc, true, lpParamInfo->strLibname,
                    lpParamInfo->strCabname, strSrcPath) != 1 ||
      CheckLocation(strDst, true, lpParamInfo->strNewLibname,
                    lpParamInfo->strNewCabname, strDstPath) != 1)
    return 0;
  if (MbEqualNoCase(strSrc, strDst)) return Refuse(kMsgSamePlace, strDst);
  if (bOverwrite) return 1;
  FolderIni iniDst;
  int nAuth = checkCabinetAuth(strDstPath, iniDst);
  if (nAuth == 0) return 1;
  return Refuse(nAuth == 1 ? kMsgDestHasAuth : kMsgOther, strDst);
}

int ParseWhole(const std::vector<std::string>& vArgs, ParamInfo* lpParamInfo) {
  if (vArgs.size() >= 4) return RefuseCount(kMsgBadArgs, vArgs.size());
  return vArgs.size() == 3 ? CheckLocation(vArgs[2], lpParamInfo) : 1;
}

int ParseUserStatus(const std::vector<std::string>& vArgs,
                    ParamInfo* lpParamInfo) {
  // Two arguments alone name no user; reading past them would be a fault.
  if (vArgs.size() < 3 || vArgs.size() >= 5)
    return RefuseCount(kMsgBadArgs, vArgs.size());
  if (MbEqualNoCase(vArgs[2], kReadUser))
    lpParamInfo->strUsername = kGeneralViewerName;
  else if (CheckUserArg(vArgs[2], 1, true, lpParamInfo->strUsername) != 1)
    return 0;
  return vArgs.size() == 4 ? CheckLocation(vArgs[3], lpParamInfo) : 1;
}

// A run is named by the timestamp of its files: 14 digits.
bool IsStamp(const std::string& strStamp) {
  bool bDigits = strStamp.size() == 14;
  for (char ch : strStamp) bDigits = bDigits && ch >= '0' && ch <= '9';
  return bDigits;
}

int ParseUndo(const std::vector<std::string>& vArgs, ParamInfo* lpParamInfo) {
  if (vArgs.size() != 3) return RefuseCount(kMsgBadArgs, vArgs.size());
  if (!IsStamp(vArgs[2])) return Refuse(kMsgBadArgs, vArgs[2]);
  lpParamInfo->strUndoStamp = vArgs[2];
  return 1;
}

// /report [/since <timestamp>] [<location>]
int ParseReport(const std::vector<std::string>& vArgs, ParamInfo* lpParamInfo) {
  bool bSince = vArgs.size() > 2 && MbEqualNoCase(vArgs[2], "/since");
  size_t nLocation = bSince ? 4 : 2;
  if (vArgs.size() < nLocation || vArgs.size() > nLocation + 1)
    return RefuseCount(kMsgBadArgs, vArgs.size());
  if (bSince && !IsStamp(vArgs[3])) return Refuse(kMsgBadArgs, vArgs[3]);
  if (bSince) lpParamInfo->strSinceStamp = vArgs[3];
  return vArgs.size() > nLocation ? CheckLocation(vArgs[nLocation], lpParamInfo)
                                  : 1;
}

int ShowUsage() {
  const char* const kLines[] = {
      "\n[使用方法]",
      "※詳細は『使用手引書』を参照してください。\n",
      "(1) 指定したユーザーのキャビネットアクセス権限を一括設定/解除します。\n"
      "　RaVerAzariduVivi.exe /set|/setforce /r|/rw|/none "
      "<ユーザー名>|!readuser [<書庫名>|<書庫名>/<キャビネット名>]",
      "(2) ユーザー名を変更したときにキャビネットアクセス権限を移行します。\n"
      "　RaVerAzariduVivi.exe /rename <変更前ユーザー名> <変更後ユーザー名>",
      "(3) 未登録ユーザーのキャビネットアクセス権限情報を整理します。\n"
      "　RaVerAzariduVivi.exe /cleanup [<書庫名>|<書庫名>/<キャビネット名>]",
      "(4) 指定したキャビネットのアクセス権限情報を別のキャビネットにコピーしま"
      "す。\n"
      "　RaVerAzariduVivi.exe /copyauth [/overwrite] "
      "<コピー元書庫名>/<コピー元キャビネット名> "
      "<コピー先書庫名>/<コピー先キャビネット名>"};
  std::string strText;
  for (const char* pszLine : kLines)
    strText += (strText.empty() ? "" : "\n") + std::string(pszLine);
  DispMsg(strText);
  return 2;
}

void TraceParams(const ParamInfo* lpParamInfo) {
  TRACE_AS(kFunc, "End getParams()");
  TRACE_INT_AS(kFunc, "\tlpParamInfo.nMode", lpParamInfo->nMode);
  TRACE_INT_AS(kFunc, "\tlpParamInfo.nUserAuth", lpParamInfo->nUserAuth);
  TRACE_VALUE_AS(kFunc, "\tlpParamInfo.strOldUsername",
                 lpParamInfo->strOldUsername);
  TRACE_VALUE_AS(kFunc, "\tlpParamInfo.strUsername", lpParamInfo->strUsername);
  TRACE_VALUE_AS(kFunc, "\tlpParamInfo.strLibname", lpParamInfo->strLibname);
  TRACE_VALUE_AS(kFunc, "\tlpParamInfo.strCabname", lpParamInfo->strCabname);
  TRACE_VALUE_AS(kFunc, "\tlpParamInfo.strNewLibname",
                 lpParamInfo->strNewLibname);
  TRACE_VALUE_AS(kFunc, "\tlpParamInfo.strNewCabname",
                 lpParamInfo->strNewCabname);
  TRACE_AS(kFunc, "End getParams()");
}

int ParseMode(const std::vector<std::string>& vArgs, ParamInfo* lpParamInfo) {
  switch (lpParamInfo->nMode) {
    case kModeSet:
    case kModeSetForce:
      return ParseSet(vArgs, lpParamInfo);
    case kModeRename:
      return ParseRename(vArgs, lpParamInfo);
    case kModeCopyAuth:
      return ParseCopy(vArgs, lpParamInfo);
    case kModeUserStatus:
      return ParseUserStatus(vArgs, lpParamInfo);
    case kModeUndo:
      return ParseUndo(vArgs, lpParamInfo);
    case kModeReport:
      return ParseReport(vArgs, lpParamInfo);
    default:
      return ParseWhole(vArgs, lpParamInfo);
  }
}

}  // namespace

int getParams(const std::vector<std::string>& vArgs, ParamInfo* lpParamInfo) {
  TRACE_AS(kFunc, "Start getParams()");
  if (vArgs.size() <= 1) return Refuse(kMsgNoArgs, "");
  const std::string& strCommand = vArgs[1];
  for (size_t i = 0; i < sizeof kCommands / sizeof kCommands[0]; ++i)
    if (MbEqualNoCase(strCommand, kCommands[i]))
      lpParamInfo->nMode = kCommandModes[i];
  if (lpParamInfo->nMode == 0) {
    if (MbEqualNoCase(strCommand, "/h")) return ShowUsage();
    return Refuse(kMsgBadArgs, strCommand);
  }
  if (ParseMode(vArgs, lpParamInfo) != 1) return 0;
  TraceParams(lpParamInfo);
  return 1;
}
