// The private-profile (INI) reader of the POSIX backend: the lookup rules of
// the Windows reader, applied to the bytes of one file held in memory.
//
// The rules, as the Windows reader follows them:
//   - Any run of CR and LF ends a line.
//   - The blanks 0x09-0x0D, 0x20 and 0x1A are trimmed around section names,
//     key names and values (the full-width space is no blank).
//   - A line that starts with "[" and holds a later "]" starts a section; its
//     name runs from the "[" to the last "]" of the line. A "[" line without
//     "]" starts nothing.
//   - Keys above the first section belong to the section named "".
//   - Section and key names are compared folding ASCII letters only.
//   - Only the first section of a name is searched, and the first key of a
//     name in it wins.
//   - A line without "=" is a key without value: asking for it gives the
//     default.
//   - There is no comment syntax: a ";" line is a key nobody asks for.
//   - A NUL byte ends a name or a value.
//   - One pair of matching quotes (" or ') around a value is removed.
//   - The default loses its trailing spaces (only 0x20) and, like a value,
//     one pair of matching quotes.
//   - At most nSize - 1 bytes are stored, followed by a NUL; a cut may split
//     a double-byte character.
//
// Bytes are CP932: a "]" or a letter that is the trail byte of a double-byte
// character is never taken for itself.
#pragma once

#include <string>

// Looks the key up in the profile text strData and stores its value, or the
// default when the section or the key is missing, into pBuffer. Returns the
// count of bytes stored before the terminating NUL (0 when nSize is 0).
unsigned ProfileGetString(const std::string& strData, const char* pszSection,
                          const char* pszKey, const char* pszDefault,
                          char* pBuffer, unsigned nSize);

// Returns true iff the stored name (cut at a NUL) equals pszName, folding
// single-byte ASCII letters only.
bool ProfileNameEquals(const std::string& strName, const char* pszName);
