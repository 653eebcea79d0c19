// What the run, the command line, the operations, the listings and the
// undo share, spelled once: command and access numbers, record messages,
// names, and the console printers.
#pragma once

#include <string>

// Command numbers (ParamInfo.nMode).
constexpr int kModeSet = 1;
constexpr int kModeSetForce = 2;
constexpr int kModeRename = 3;
constexpr int kModeCopyAuth = 4;
constexpr int kModeCleanup = 5;
constexpr int kModeReset = 6;
constexpr int kModeList = 7;
constexpr int kModeUserStatus = 8;
constexpr int kModeListAll = 9;
constexpr int kModeUndo = 10;
constexpr int kModeReport = 11;

// Access levels (ParamInfo.nUserAuth).
constexpr int kAuthRW = 1;
constexpr int kAuthR = 2;
constexpr int kAuthNone = 9;

// The list name of the general viewer.
extern const char kGeneralViewerName[];
// The general viewer's name in records and reports.
extern const char kGeneralViewerText[];

// An NG record's message: the cabinet's Folder.ini could not be read.
extern const char kMsgNoAuth[];
// An NG record's message for a failure nothing else describes.
extern const char kMsgUnknown[];
// An NG record's message: Folder.ini could not be rewritten.
extern const char kMsgUpdate[];
// Returns a timestamp "YYYYMMDDhhmmss" as "YYYY/MM/DD hh:mm:ss"; "" for
// anything else (a clock that could not be read).
std::string DisplayTime(const std::string& strStamp);

// Prints the message and a line end to standard output.
void DispMsg(const std::string& strMsg);

// Prints "エラー：" + message, "(" + detail + ")" when there is a detail.
void DispErrMsg(const std::string& strMsg, const std::string& strDetail);

// Returns the NG message for a failed rewrite of Folder.ini: one of
// WriteAndCheckFolderIni's negative results (iniaccess.h).
std::string RewriteMessage(int nRet);
