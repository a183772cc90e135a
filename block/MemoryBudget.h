#pragma once
// Whether a buffer fits the memory the machine has, asked before allocating a
// buffer whose size comes from a number a user typed or a file claims. Linux
// overcommits: an absurd allocation usually succeeds and the process is killed
// later when the pages are touched, so catching std::bad_alloc is not enough.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Bytes that can be allocated and touched without the out-of-memory killer:
// MemAvailable plus SwapFree from /proc/meminfo; where that file or its
// MemAvailable line is missing, the free physical pages sysconf reports.
// Empty when neither source says anything.
std::optional<std::uint64_t> AvailableMemoryBytes();

// The same figure from the text of a /proc/meminfo; empty without a
// MemAvailable line.
std::optional<std::uint64_t> AvailableBytesFromMeminfo(std::string_view meminfo);

// True when count items of itemSize bytes fit into AvailableMemoryBytes().
// False when the byte count overflows 64 bits; true when the available memory
// is unknown (the allocation itself then decides).
bool FitsInMemory(std::uint64_t count, std::size_t itemSize);

// "Not enough memory for " + count + " samples."
std::string NotEnoughMemoryMessage(std::uint64_t count);
