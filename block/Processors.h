#pragma once
// How many threads are worth running at once.

// The processors this process may run on (taskset, a cpuset), not all the
// machine has: more threads than those only wait for each other. At least 1.
int AvailableProcessors();
