#include "Processors.h"

#include <algorithm>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

int AvailableProcessors() {
#if defined(__linux__)
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return std::max(1, CPU_COUNT(&allowed));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}
