#pragma once
// Arrays of values and samples that may be very large (ten minutes of sound).
// Large ones are aligned to huge pages and advised onto them: where page faults
// are slow (virtual machines), first touching fresh memory 4 KB at a time costs
// more than the arithmetic done on it. Allocation failure throws std::bad_alloc.

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <type_traits>

struct LargeArrayFree {
  void operator()(void* p) const noexcept { std::free(p); }
};

template <typename T>
using LargeArray = std::unique_ptr<T[], LargeArrayFree>;

// Uninitialised memory for count objects of the given size (at least one byte).
void* AllocateLarge(std::size_t count, std::size_t size);

// count values, uninitialised.
template <typename T>
LargeArray<T> MakeLargeArray(std::size_t count) {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_default_constructible_v<T>);
  return LargeArray<T>(static_cast<T*>(AllocateLarge(count, sizeof(T))));
}

// count values, all bits zero.
template <typename T>
LargeArray<T> MakeZeroedLargeArray(std::size_t count) {
  LargeArray<T> array = MakeLargeArray<T>(count);
  std::memset(array.get(), 0, count * sizeof(T));
  return array;
}

// Faults in the pages of a freshly allocated large array on a thread of its
// own, from the array's end backwards, while the caller fills it from the
// start: where a first touch is slow (virtual machines) the two share the
// cost. Only the page tables change, never the contents, so the two may meet
// anywhere. Stops and joins when destroyed; small arrays start no thread.
class PageFaultsAhead {
 public:
  PageFaultsAhead(void* memory, std::size_t bytes);

 private:
  std::jthread m_thread;
};
