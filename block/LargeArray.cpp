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
