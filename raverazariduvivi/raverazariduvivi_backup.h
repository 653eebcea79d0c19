// The run's backup file: backup<timestamp>.dat in the current directory,
// beside the result file, holding what the run changed in each cabinet's
// Folder.ini (backupfile.h gives the format). Nothing is created before
// the first change; the run's header, then each entry, is written and
// flushed on its own, each entry before its change is made, so a run
// killed at any instant leaves a backup of every change it made and at
// most one unflushed item behind them. A run in the same second as an
// earlier one appends to its file, in version 2 behind runs of either
// version, after dropping a cut tail.
//
// Results of BackupWrite:
//   1 the entry is written and flushed
//  -1 it is not: the file cannot be opened, read, written or flushed, an
//     existing file of that name is no intact backup file, or the entry
//     cannot be encoded; the change must not be made
#pragma once

#include <string>

#include "backupfile.h"

// Tells whether this run may append to its backup file: true when there is
// none yet, or when the one there is the account's own and no one else may
// write it (PlatReadOwnFile). strFileName receives the file's name.
bool BackupUsable(std::string& strFileName);

// Names the file after strTimestamp for the entries of this run.
void BackupStart(const std::string& strTimestamp);

// Appends the entry (after the run's header, for its first one).
int BackupWrite(const BackupEntry& entry);

// Closes the file when the run wrote one; false when the close failed.
bool BackupFinish();
