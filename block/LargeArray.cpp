#include "LargeArray.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t kHugePage = std::size_t{1} << 21;

}  // namespace

void* AllocateLarge(std::size_t count, std::size_t size) {
  if (size != 0 && count > SIZE_MAX / size - kHugePage) throw std::bad_alloc();
  std::size_t bytes = count * size;
  void* memory = nullptr;
  if (bytes >= kHugePage) {
    bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    memory = std::aligned_alloc(kHugePage, bytes);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (memory) madvise(memory, bytes, MADV_HUGEPAGE);
#endif
  } else {
    memory = std::malloc(bytes > 0 ? bytes : 1);
  }
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

PageFaultsAhead::PageFaultsAhead([[maybe_unused]] void* memory, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  // Below this the thread's start costs about as much as it saves.
  constexpr std::size_t kWorthAThread = 8 * kHugePage;
  if (memory == nullptr || bytes < kWorthAThread) return;
  m_thread = std::jthread([memory, bytes](std::stop_token stop) {
    const auto begin = reinterpret_cast<std::uintptr_t>(memory);
    // Whole huge pages only, so that no step splits one; kernels without
    // MADV_POPULATE_WRITE refuse the first step and the filling faults alone.
    std::uintptr_t end = (begin + bytes) / kHugePage * kHugePage;
    while (end >= begin + kHugePage && !stop.stop_requested()) {
      end -= kHugePage;
      if (madvise(reinterpret_cast<void*>(end), kHugePage, MADV_POPULATE_WRITE) != 0) return;
    }
  });
#endif
}
