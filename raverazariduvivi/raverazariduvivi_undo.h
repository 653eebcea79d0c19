// /undo <timestamp>: puts back every cabinet that a run changed, from that
// run's backup file backup<timestamp>.dat in the current directory.
//
// A cabinet is put back only while its Folder.ini still holds exactly the
// bytes the run wrote (or, where the run removed it, none); anything else
// there was written since, by anyone, and is left alone. A cabinet that
// already holds what the run found (a run killed before that change) needs
// nothing. The changes are taken back newest first, through the same
// rewrite as every change, so the undo keeps a backup of its own.
//
// Results:
//   LoadUndo    1 loaded; -1 the file is missing or unreadable, damaged,
//               of another data folder, or names a cabinet outside the
//               data folder (strFileName gets the file's name either way)
//   undoCabinet 1 put back, or nothing to put back; -1 failed (one NG
//               record); either way the cabinet is counted
#pragma once

#include <string>
#include <vector>

#include "backupfile.h"

// Reads the run's backup file into vEntries, oldest change first.
int LoadUndo(const std::string& strTimestamp,
             std::vector<BackupEntry>& vEntries, std::string& strFileName);

// Puts back one cabinet's Folder.ini and writes its record.
int undoCabinet(const BackupEntry& entry);
