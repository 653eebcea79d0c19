#include "raverazariduvivi_common.h"

#include "iniaccess.h"
#include "platform/platform.h"

const char kGeneralViewerName[] = "一般閲覧者!";
const char kGeneralViewerText[] = "一般閲覧者";

const char kMsgNoAuth[] = "キャビネット内の権限情報取得に失敗";
const char kMsgUnknown[] = "原因不明のエラー";
const char kMsgUpdate[] = "権限情報の更新に失敗";

std::string RewriteMessage(int nRet) {
  switch (nRet) {
    case kRewriteReadFailed:
      return "ファイルオープンに失敗(Folder.ini.new)";
    case kRewriteNewFailed:
      return "権限情報の更新に失敗(Folder.ini.new)";
    case kRewriteMoveFailed:
      return "ファイルコピーに失敗(Folder.ini)";
    case kRewriteNotRegular:
    case kRewriteNoReadBack:
    case kRewriteNotCommitted:
    case kRewriteDeleteFailed:
      return kMsgUpdate;
    default:
      return kMsgUnknown;
  }
}

std::string DisplayTime(const std::string& strStamp) {
  if (strStamp.size() != 14) return "";
  return strStamp.substr(0, 4) + "/" + strStamp.substr(4, 2) + "/" +
         strStamp.substr(6, 2) + " " + strStamp.substr(8, 2) + ":" +
         strStamp.substr(10, 2) + ":" + strStamp.substr(12, 2);
}

void DispMsg(const std::string& strMsg) { PlatWriteConsole(strMsg + "\n"); }

void DispErrMsg(const std::string& strMsg, const std::string& strDetail) {
  std::string strLine = "エラー：" + strMsg;
  if (!strDetail.empty()) strLine += "(" + strDetail + ")";
  DispMsg(strLine);
}
