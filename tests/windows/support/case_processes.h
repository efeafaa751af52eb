#pragma once
// Damaged-input cases run in child processes of the test program, a batch of
// cases to a child. A case whose checks fail (the heap check after every
// case among them) is named by the child. A case that crashes, hangs, or
// damages memory that only the child's exit finds, breaks its batch: the
// batch is split and run again until that case runs alone, and is named.
#include <functional>
#include <string>
#include <vector>

namespace ovl::testing {

// Boundary values for 32-bit fields: 0, 1, -1, INT_MIN, INT_MAX and their
// neighbours, and every power of two from 2 to 2^30 with its neighbours.
std::vector<long long> BoundaryValues();

struct CaseTally {
  int cases = 0;
  int accepted = 0;  // loads that succeeded
  int refused = 0;   // loads that returned a failure code
  int children = 0;  // processes started
  std::vector<std::string> failures;  // one line per failing case
};

// Runs cases 0 .. count-1 of the calling test. `runCase(i)` runs one case
// in-process (gtest assertions allowed) and returns whether its load
// succeeded; `describe(i)` names it. In the test program started normally
// every batch of `batch` cases runs in a child started with this test
// only; in such a child, the cases it was given run here.
CaseTally RunCasesInChildren(int count, int batch, const std::function<bool(int)>& runCase,
                             const std::function<std::string(int)>& describe);

// True inside a child started by RunCasesInChildren.
bool IsCaseChild();

}  // namespace ovl::testing
