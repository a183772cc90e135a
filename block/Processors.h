#pragma once
#include <functional>

// How many threads are worth running at once.

// The processors this process may run on (taskset, a cpuset), not all the
// machine has: more threads than those only wait for each other. At least 1.
int AvailableProcessors();

// Runs part(first, end) over 0 .. count in up to `threads` consecutive ranges
// at once, the first on the calling thread, and returns when all are done.
// Each range has at least minimumPerThread items.
void RunInParts(int count, int threads, int minimumPerThread, const std::function<void(int, int)>& part);

// A pass bound by memory brings one core's share of the bandwidth (and of
// the page faults) per thread, but below this many items it is not worth
// starting one.
constexpr int kMemoryPassPerThread = 1 << 18;
