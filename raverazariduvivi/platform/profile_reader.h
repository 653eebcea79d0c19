// The portable private-profile (INI) reader: the lookup rules of the Windows
// reader, applied to the bytes of one file held in memory. Both builds read
// Folder.ini and User.ini with it.
//
// The rules, as the Windows reader follows them:
//
// Lines
//   - Any run of CR and LF ends a line.
//   - The blanks 0x09-0x0D, 0x20 and 0x1A are trimmed around every line,
//     section name, key name and value (the full-width space is no blank).
//   - A line whose first character is ";" is a comment. A ";" anywhere else
//     is an ordinary character of a section name, key name or value.
//
// Sections
//   - A line whose first character is "[" starts a section. Its name runs
//     to the first "]" of the line, or to the end of the line when there is
//     none; whatever follows that "]" is ignored ("[A]]" and "[A][B]" start
//     the section "A", "[[A]" the section "[A", "[A" the section "A").
//   - "[]" (or "[ ]") starts the section "".
//   - A line above the first section header belongs to no section: it can
//     never be asked for, not even with the section "".
//   - Only the first section of a name is searched; a later section of the
//     same name is never read.
//
// Keys
//   - In a section, a line that holds "=" is a key: the name is the text
//     before the first "=", the value the text after it.
//   - A line without "=" is no key; the search goes on past it.
//   - The first key of a name in the section wins.
//   - Section and key names are compared folding single-byte ASCII letters
//     only; quotes in names are ordinary characters.
//   - The section and key arguments lose their leading and trailing spaces
//     (0x20 only) before the comparison; a tab or another blank stays and
//     so never matches. A key argument that begins with ";" therefore only
//     ever gives the default.
//
// Values
//   - A NUL byte ends a name or a value.
//   - One pair of matching quotes (" or ') around a value is removed; blanks
//     inside the quotes stay.
//   - When the section or the key is missing, the default comes back with
//     its trailing spaces (0x20 only) removed and nothing else changed:
//     leading blanks and quotes stay. A null default is "".
//   - At most nSize - 1 bytes are stored, followed by a NUL; a cut may split
//     a double-byte character. nSize 0 stores nothing.
//
// Bytes are CP932: a "[", "]", ";", "=" or letter that is the trail byte of a
// double-byte character is never taken for itself.
#pragma once

#include <string>

// Looks the key up in the profile text strData and stores its value, or the
// default when the section or the key is missing, into pBuffer. pszSection
// and pszKey must not be null. Returns the count of bytes stored before the
// terminating NUL (0, with pBuffer untouched, when nSize is 0).
unsigned ProfileGetString(const std::string& strData, const char* pszSection,
                          const char* pszKey, const char* pszDefault,
                          char* pBuffer, unsigned nSize);

// Returns true iff the stored name (cut at a NUL) equals pszName, folding
// single-byte ASCII letters only.
bool ProfileNameEquals(const std::string& strName, const char* pszName);
