// Record messages and names shared by the operations, the listings and the
// undo, spelled once.
#pragma once

#include <string>

// An NG record's message: the cabinet's Folder.ini could not be read.
extern const char kMsgNoAuth[];
// An NG record's message for a failure nothing else describes.
extern const char kMsgUnknown[];
// An NG record's message: Folder.ini could not be rewritten.
extern const char kMsgUpdate[];
// The name every access list must keep.
extern const char kAdminName[];

// Returns the NG message for a failed rewrite of Folder.ini: one of
// WriteAndCheckFolderIni's negative results (iniaccess.h).
std::string RewriteMessage(int nRet);
