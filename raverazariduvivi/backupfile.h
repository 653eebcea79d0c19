// The backup file backup<timestamp>.dat: what a run changed in each
// cabinet's Folder.ini, for /undo. Pure: it builds and parses byte strings
// and touches no file (docs/backup-format.md has the format with an example).
//
// A file is one or more runs back to back; each run is a header and zero or
// more entries. Lines end with CR LF; the Folder.ini bytes are length-
// prefixed, so any byte may stand in them. Version 2, which the writer
// writes, gives every item a check on its first line:
//   RAVBACKUP 2 <length> <crc>  the header: magic, version and check
//   data=<data folder path>
//   entry <length> <crc>        an entry: its check, then
//   library=<name>
//   cabinet=<name>
//   path=<cabinet folder path>
//   before=<count>|none         then <count> raw bytes and CR LF
//   after=<count>|none          then <count> raw bytes and CR LF
//   end
// <length> counts the item's bytes after its first line and <crc> is their
// CRC-32 (IEEE 802.3) in 8 lower-case hex digits. Version 1 has the same
// items without checks: "RAVBACKUP 1" and "entry" alone on their lines. A
// count or length is decimal digits without sign or leading zero; a count
// is at most kMaxBackupPayload. The encoding is canonical: encoding the
// parsed runs again gives back the file's bytes, up to a dropped cut tail.
// Version 1 runs may be followed by version 2 runs (a run appended by this
// writer), never the other way round.
//
// A cut tail: each item is written and flushed before the next one is
// written (and an entry before its cabinet's Folder.ini is replaced), so a
// run killed while writing one leaves, behind the last flushed item, bytes
// that were never flushed, and that cabinet was never changed. In a
// version 2 run such a tail is anything at all (a prefix, zeros, old bytes
// of the disk where the write reached it out of order): the first item
// that does not read whole with its check holding starts a cut tail unless
// a whole, checked item starts anywhere behind its first byte; then it is
// damage. In a version 1 run only a proper prefix of an entry or header at
// the very end is a cut tail (a count that reaches past the end is one).
// Such a tail is dropped, not taken for damage: every change the run made
// is still covered. A file without a whole first header is damaged.
//
// Results of ParseBackupFile: 1 the whole file parsed; 2 parsed, a cut tail
// dropped; -1 damaged (no whole first header, unknown magic or version, a
// version 2 item that fails before a whole one, in version 1 a malformed
// line anywhere but in a cut tail, a field holding CR or LF, a count that
// is no plain decimal or too large, a payload not followed by CR LF, a
// missing "end"); vRuns is then empty.
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

// The format version that the writer writes.
constexpr int kBackupVersion = 2;

// One run: the data folder it worked on, its entries in the order of the
// changes, and the format version (1 or 2) its header names.
struct BackupRun {
  std::string strDataPath;
  std::vector<BackupEntry> vEntries;
  int nVersion = kBackupVersion;
};

// Returns the header of a run in format version nVersion (1 or 2); "" when
// the path holds CR or LF.
std::string BackupHeader(const std::string& strDataPath,
                         int nVersion = kBackupVersion);

// Returns the bytes of one entry in format version nVersion (1 or 2); ""
// when a name or the path holds CR or LF, or a payload is larger than
// kMaxBackupPayload.
std::string BackupEntryBytes(const BackupEntry& entry,
                             int nVersion = kBackupVersion);

// Returns the bytes of the runs, each in its own version.
std::string BackupFileBytes(const std::vector<BackupRun>& vRuns);

// Parses the whole file strData into vRuns (replaced).
int ParseBackupFile(const std::string& strData, std::vector<BackupRun>& vRuns);

// Returns true iff the entry's path is exactly strDataPath, chSeparator,
// library, chSeparator, cabinet, where strDataPath is non-empty and the
// names are safe folder names (IsSafeFolderName) holding no NUL and no ":",
// and neither the names nor strDataPath end in a lead byte without its trail
// byte (a separator behind it would be taken for that trail byte).
bool IsEntryInsideDataFolder(const BackupEntry& entry,
                             const std::string& strDataPath, char chSeparator);
