// The benchmark's store generator: a complete installation (program
// folder, registry stand-in, data folder) of libraries x cabinets, made
// from a seed, byte for byte the same for the same shape.
//
// Every file is CP932 with CR LF ends; folder names on disk are UTF-8.
// Each cabinet's access lists hold about nNames names: registered users,
// unregistered names, case variants of registered names (ASCII and
// full-width letters), duplicates (back to back ones included), a share of
// CP932 names with the trail byte 0x5C, "admin" in most lists, the general
// viewer in some browse lists and the granted user in a few. Cabinets vary
// in layout: other sections ([FolderInfo] Title, [Other] keys) before and
// after [ReadUserInfo], blanks around lines, a missing browse list, a list
// without its last comma, and a few cabinets without access lists.
#pragma once

#include <cstdint>
#include <string>

struct BenchStoreShape {
  int nLibs = 1;       // libraries in the data folder
  int nCabs = 1;       // cabinets in each library
  int nNames = 10;     // names in each access list
  int nUsers = 100;    // registered users besides the granted one
  uint64_t nSeed = 1;  // the same seed and sizes give the same bytes
};

// Returns the registered user (CP932) that the /set cases grant: trail
// bytes 0x5C and a full-width letter, so that some lists hold it in
// another case.
std::string BenchGrantedUser();

// Returns the data folder, the registry stand-in file and the tool's
// current folder of the store under strRoot (native paths).
std::string BenchDataDir(const std::string& strRoot);
std::string BenchRegistryFile(const std::string& strRoot);
std::string BenchCwdDir(const std::string& strRoot);

// Makes the store under strRoot, which must not hold one yet. Returns true
// on success.
bool BenchMakeStore(const std::string& strRoot, const BenchStoreShape& shape);
