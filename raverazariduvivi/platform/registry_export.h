// The reader of a REGEDIT4 export of the installation's App Paths key, the
// stand-in for the registry where there is none. Pure: it works on the
// bytes of the file, held in memory, and touches nothing else.
//
// The rules:
//   - Any of CR LF, CR or LF ends a line.
//   - The first line is exactly "REGEDIT4"; otherwise nothing is read.
//   - A line whose first character is "[" names a key: the text up to the
//     line's last "]" (a line without one names no key). The App Paths key
//     (HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App
//     Paths\TenboEnvSet.exe) is matched folding ASCII letters only, cut at
//     a NUL; it may occur more than once.
//   - Inside that key, "@=" sets the default value and "\"version\"="
//     (ASCII letters folded) the value version; a later line of the same
//     value wins, and every other line is passed over.
//   - The data is a quoted string in which "\\" is a backslash and "\""
//     a quote; a trail byte of a double-byte character is never taken for
//     either, and any other backslash stays. Text behind the closing quote
//     is ignored. Data that is no string (dword:, hex:, bare text) reads as
//     "", and so does a string over 259 bytes; a quote that never closes
//     makes the line ignored.
//
// Results of ParseRegistryExport: true the file is a REGEDIT4 export that
// holds the key; false it is not (strDefault and strVersion untouched).
#pragma once

#include <string>

// The longest value that the Windows build's 260-byte buffer takes.
constexpr size_t kMaxRegValue = 259;

// Reads the default value and the value "version" of the App Paths key from
// the export strData into strDefault and strVersion; a value the key does
// not set leaves its string alone.
bool ParseRegistryExport(const std::string& strData, std::string& strDefault,
                         std::string& strVersion);
