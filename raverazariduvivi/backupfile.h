// The backup file backup<timestamp>.dat: what a run changed in each
// cabinet's Folder.ini, for /undo. Pure: it builds and parses byte strings
// and touches no file (docs/backup-format.md has the format with an example).
//
// A file is one or more runs back to back; each run is a header and zero or
// more entries. Lines end with CR LF; the Folder.ini bytes are length-
// prefixed, so any byte may stand in them:
//   RAVBACKUP 1                 the header: magic and format version
//   data=<data folder path>
//   entry
//   library=<name>
//   cabinet=<name>
//   path=<cabinet folder path>
//   before=<count>|none         then <count> raw bytes and CR LF
//   after=<count>|none          then <count> raw bytes and CR LF
//   end
// A count is decimal digits without sign or leading zero, at most
// kMaxBackupPayload. The encoding is canonical: encoding the parsed runs
// again gives back the file's bytes, up to a dropped cut tail.
//
// A cut tail: each entry is written and flushed before its cabinet's
// Folder.ini is replaced, so a run killed while writing one leaves a proper
// prefix of an entry (or of a later run's header) at the end of the file,
// and that cabinet was never changed (a count that reaches past the end is
// such a prefix). Such a tail is dropped, not taken for damage: every change
// the run made is still covered. A prefix of anything else, a count above
// kMaxBackupPayload, or a cut inside the first header is damage.
//
// Results of ParseBackupFile: 1 the whole file parsed; 2 parsed, a cut tail
// dropped; -1 damaged (no header, unknown magic or version, a malformed
// line anywhere but in a cut tail, a field holding CR or LF, a count that is
// no plain decimal or too large, a payload not followed by CR LF, a missing
// "end"); vRuns is then empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The largest Folder.ini that an entry holds; a larger count is damage.
constexpr uint64_t kMaxBackupPayload = uint64_t{1} << 30;

// One cabinet's Folder.ini before and after a run's change; bBefore (bAfter)
// false means there was (is) no Folder.ini, and strBefore (strAfter) is "".
struct BackupEntry {
  std::string strLibrary;
  std::string strCabinet;
  std::string strPath;
  bool bBefore = false;
  std::string strBefore;
  bool bAfter = false;
  std::string strAfter;
};

// One run: the data folder it worked on and its entries in the order of
// the changes.
struct BackupRun {
  std::string strDataPath;
  std::vector<BackupEntry> vEntries;
};

// Returns the header of a run; "" when the path holds CR or LF.
std::string BackupHeader(const std::string& strDataPath);

// Returns the bytes of one entry; "" when a name or the path holds CR or LF,
// or a payload is larger than kMaxBackupPayload.
std::string BackupEntryBytes(const BackupEntry& entry);

// Parses the whole file strData into vRuns (replaced).
int ParseBackupFile(const std::string& strData, std::vector<BackupRun>& vRuns);

// Returns true iff the entry's path is exactly strDataPath, chSeparator,
// library, chSeparator, cabinet, where strDataPath is non-empty and the
// names are safe folder names (IsSafeFolderName) holding no NUL and no ":",
// and neither the names nor strDataPath end in a lead byte without its trail
// byte (a separator behind it would be taken for that trail byte).
bool IsEntryInsideDataFolder(const BackupEntry& entry,
                             const std::string& strDataPath, char chSeparator);
