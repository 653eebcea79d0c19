// The status line of a long run on a terminal.
//
// A walk over more than kProgressMinCabinets cabinets, with standard output
// on a terminal, shows one status line: the cabinet in hand of the total
// and the failures so far. It is rewritten in place ("\r") at most every
// kProgressIntervalMs and erased before the run's next console line. With
// standard output on a pipe or a file the line stays off, and the walk's
// cabinets are not even counted: such a run reads and writes exactly what
// it would without this unit.
//
// The pure part (ProgressText, ProgressAdvance, ProgressErase) works on a
// ProgressLine and a clock reading handed in; the rest drives the run's one
// line on the console.
#pragma once

#include <cstddef>
#include <string>

// The fewest cabinets of a run that shows the line is one more than this.
constexpr size_t kProgressMinCabinets = 300;

// The shortest time between two writes of the line, in milliseconds.
constexpr long long kProgressIntervalMs = 250;

// The state of one status line; a default one is off.
struct ProgressLine {
  size_t nTotal = 0;        // cabinets of the run; 0 while the line is off
  size_t nPosition = 0;     // the cabinet in hand, from 1
  long long nShownMs = -1;  // clock reading of the last write; -1 for none
  size_t nWidth = 0;        // columns the line takes; 0 while none is shown
};

// Returns the status text (CP932) for the cabinet in hand of the total.
std::string ProgressText(size_t nPosition, size_t nTotal, int nErrors);

// Moves the line on to the next cabinet at clock reading nNowMs; returns
// the text that rewrites it, or "" when the line is off or was written less
// than kProgressIntervalMs ago.
std::string ProgressAdvance(ProgressLine& line, long long nNowMs, int nErrors);

// Turns the line off; returns the text that erases it, "" when none shows.
std::string ProgressErase(ProgressLine& line);

// Turns the run's line on for nTotal cabinets when there are more than
// kProgressMinCabinets and standard output is a terminal, else off.
void ProgressStart(size_t nTotal);

// ProgressStart for the walk of the named library and cabinet (an empty
// name: every listed one); the cabinets are counted only on a terminal.
void ProgressStartWalk(const std::string& strLibname,
                       const std::string& strCabname);

// Moves the run's line on to the next cabinet, rewriting it when due.
void ProgressStep();

// Erases the run's line, if one shows, and turns it off.
void ProgressEnd();
