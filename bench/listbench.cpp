// Microbenchmarks of the user-list functions on their own, at lists of 1k,
// 4k and 16k names, with the trace off. Google Benchmark fits each to a
// complexity (O(N), O(N^2), ...) over the three lengths.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commonproc.h"
#include "userproc.h"

namespace {

// Name n of a list: "user<n>", or for every n = 2 (mod 4) CP932 with the
// trail byte 0x5C ("表", "ソ") and a full-width letter.
std::string Name(int n) {
  char szBuf[32];
  std::snprintf(szBuf, sizeof szBuf, n % 4 == 2 ? "表ソａ%05d" : "user%05d", n);
  return szBuf;
}

// A list of nNames names; with bDuplicates every tenth name repeats the one
// before it and every tenth one an earlier one, as the stores have them.
std::string List(int nNames, bool bDuplicates) {
  std::string strList;
  for (int n = 0; n < nNames; ++n) {
    int nName = n;
    if (bDuplicates && n % 10 == 3) nName = n - 1;
    if (bDuplicates && n % 10 == 7) nName = n / 2;
    strList += Name(nName) + ",";
  }
  return strList;
}

int Length(const benchmark::State& state) {
  return static_cast<int>(state.range(0));
}

// A CP932 name that the list with duplicates holds back to back near its
// middle (n = 2 mod 20: the name at n + 1 repeats it).
std::string MiddleDuplicate(int nNames) { return Name(nNames / 40 * 20 + 2); }

// An ASCII name near the end, asked for in another case.
void BM_SearchUserString(benchmark::State& state) {
  std::string strList = List(Length(state), false);
  std::string strWanted = "USER" + Name(Length(state) - 3).substr(4);
  for (auto _ : state) {
    std::string strName = strWanted;
    benchmark::DoNotOptimize(SearchUserString(strList, strName, 1, 0));
  }
  state.SetComplexityN(state.range(0));
}

void BM_DeleteUserString(benchmark::State& state) {
  std::string strList = List(Length(state), true);
  std::string strName = MiddleDuplicate(Length(state));
  for (auto _ : state)
    benchmark::DoNotOptimize(DeleteUserString(strList, strName));
  state.SetComplexityN(state.range(0));
}

void BM_ReplaceUserString(benchmark::State& state) {
  std::string strList = List(Length(state), true);
  std::string strName = MiddleDuplicate(Length(state));
  for (auto _ : state)
    benchmark::DoNotOptimize(ReplaceUserString(strList, strName, "renamed"));
  state.SetComplexityN(state.range(0));
}

void BM_TrimDuplicateUserList(benchmark::State& state) {
  std::string strList = List(Length(state), true);
  for (auto _ : state) {
    std::string strOut;
    benchmark::DoNotOptimize(TrimDuplicateUserList(strList, strOut));
  }
  state.SetComplexityN(state.range(0));
}

void BM_split(benchmark::State& state) {
  std::string strList = List(Length(state), true);
  std::vector<std::string> vItems;
  for (auto _ : state) {
    split(strList, ",", vItems);
    benchmark::DoNotOptimize(vItems.data());
  }
  state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_SearchUserString)
    ->RangeMultiplier(4)
    ->Range(1024, 16384)
    ->Complexity();
BENCHMARK(BM_DeleteUserString)
    ->RangeMultiplier(4)
    ->Range(1024, 16384)
    ->Complexity();
BENCHMARK(BM_ReplaceUserString)
    ->RangeMultiplier(4)
    ->Range(1024, 16384)
    ->Complexity();
BENCHMARK(BM_TrimDuplicateUserList)
    ->RangeMultiplier(4)
    ->Range(1024, 16384)
    ->Complexity();
BENCHMARK(BM_split)->RangeMultiplier(4)->Range(1024, 16384)->Complexity();

BENCHMARK_MAIN();
