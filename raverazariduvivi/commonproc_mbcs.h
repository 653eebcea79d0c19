// Character rules of the ANSI code page (CP932), written once on top of the
// platform's lead-byte test and lower-casing.
//
// A character is one byte, or a lead byte and the byte after it. A lead byte
// at the very end of a string is a character by itself. Every search below
// starts a match only at a character boundary, so the trail byte of a
// double-byte character never matches a backslash, slash or comma.
//
// Positions are byte offsets; std::string::npos means "not found".
#pragma once

#include <cstddef>
#include <string>

// Returns the start of the character before nPos (0 when nPos is 0).
size_t MbPrevChar(const std::string& str, size_t nPos);

// Returns the first position at or after nFrom (a character boundary) where
// strNeedle starts at a character boundary of strHay; npos when none. An
// empty needle is never found.
size_t MbFind(const std::string& strHay, const std::string& strNeedle,
              size_t nFrom = 0);

// Returns the string lower-cased character by character; trail bytes are
// never changed on their own.
std::string MbLower(const std::string& str);

// Returns true iff both strings are equal once lower-cased.
bool MbEqualNoCase(const std::string& strA, const std::string& strB);

// Returns the string without the single-byte characters of pszSet at either
// end; a trail byte is never taken for one of them.
std::string MbTrim(const std::string& str, const char* pszSet);

// Returns the text as one or more lines of a CP932 text file: every LF
// inside it preceded by CR, and CR LF at the end.
std::string TextFileLine(const std::string& strText);
