#include "raverazariduvivi_messages.h"

#include "iniaccess.h"

const char kMsgNoAuth[] = "キャビネット内の権限情報取得に失敗";
const char kMsgUnknown[] = "原因不明のエラー";
const char kMsgUpdate[] = "権限情報の更新に失敗";
const char kAdminName[] = "admin";

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
