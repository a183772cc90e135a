#include "Processors.h"

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

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

void RunInParts(int count, int threads, int minimumPerThread, const std::function<void(int, int)>& part) {
  const int parts = std::clamp(std::min(threads, count / std::max(minimumPerThread, 1)), 1, 64);
  const auto bound = [&](int which) { return static_cast<int>(std::int64_t{count} * which / parts); };
  std::vector<std::jthread> helpers;
  helpers.reserve(static_cast<std::size_t>(parts - 1));
  for (int which = 1; which < parts; ++which) helpers.emplace_back(part, bound(which), bound(which + 1));
  part(0, bound(1));
}
