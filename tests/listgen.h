// Random user lists for the differential tests of the list functions: names
// drawn from a small alphabet of ASCII letters in both cases, full-width
// letters in both cases, Shift-JIS characters whose trail byte is "\" or "|",
// "admin" in two spellings and a lone lead byte, joined by commas with
// empty items and duplicates, back to back ones included. A lead byte in
// front of a comma makes the list irregular (the comma becomes a trail
// byte), which the fast paths must notice.
#pragma once

#include <random>
#include <string>

// Returns a random name of one to three pieces (never empty).
inline std::string TestRandomName(std::mt19937& rng) {
  static const char* const kPieces[] = {
      "a",        "A",        "b",        "B",     "\x83\x5c", "\x95\x5c",
      "\x83\x7c", "\x82\x60", "\x82\x81", "admin", "ADMIN",    "\x83"};
  std::string strName;
  int nPieces = 1 + static_cast<int>(rng() % 3);
  for (int i = 0; i < nPieces; ++i)
    strName += kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])];
  return strName;
}

// Returns a random list of up to nMaxItems items, most of them comma-ended.
inline std::string TestRandomList(std::mt19937& rng, int nMaxItems) {
  std::string strList;
  int nItems = static_cast<int>(rng() % (nMaxItems + 1));
  for (int i = 0; i < nItems; ++i) {
    if (rng() % 8 != 0) strList += TestRandomName(rng);
    strList += ",";
  }
  if (!strList.empty() && rng() % 6 == 0) strList += TestRandomName(rng);
  return strList;
}
