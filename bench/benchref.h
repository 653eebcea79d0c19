// What a run of the tool produced, in a form that can be recorded once and
// compared with every later run, so that a fast wrong answer cannot pass.
//
// An outcome is a set of named parts:
//   exit            the exit code
//   console         the console text (CP932), the result file name masked
//   cwd             the names in the tool's current folder, one a line
//   result          the result file without its first three lines (command
//                   line, data folder, start time), times masked
//   csv             /report's CSV, when the current folder holds one
//   file <path>     every file below the data folder, byte for byte
//
// Results: BenchSaveOutcome, BenchLoadOutcome true on success;
// BenchCompare "" when the outcomes are equal, else what differs.
#pragma once

#include <map>
#include <string>

using BenchOutcome = std::map<std::string, std::string>;

// Returns the text with every "YYYY/MM/DD hh:mm:ss" time as "{TIME}" and
// every "result<14 digits>.txt" name as "result{TS}.txt" (backup and
// report names alike).
std::string BenchMask(const std::string& strText);

// Collects the outcome of a run on the store under strRoot (genstore.h)
// with its exit code and console text (as the child wrote it, UTF-8).
BenchOutcome BenchCapture(const std::string& strRoot, int nExit,
                          const std::string& strConsole);

bool BenchSaveOutcome(const std::string& strPath, const BenchOutcome& outcome);
bool BenchLoadOutcome(const std::string& strPath, BenchOutcome& outcome);

// Describes up to five parts that differ between the reference and the run.
std::string BenchCompare(const BenchOutcome& want, const BenchOutcome& got);
