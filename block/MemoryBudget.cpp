#include "MemoryBudget.h"

#include <unistd.h>

#include <charconv>
#include <fstream>
#include <sstream>

namespace {

// The value in kB of the line "key:   value kB", empty when there is none.
std::optional<std::uint64_t> MeminfoKilobytes(std::string_view meminfo, std::string_view key) {
  std::size_t start = 0;
  while (start < meminfo.size()) {
    std::size_t end = meminfo.find('\n', start);
    if (end == std::string_view::npos) end = meminfo.size();
    const std::string_view line = meminfo.substr(start, end - start);
    start = end + 1;
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':') continue;
    std::size_t digits = key.size() + 1;
    while (digits < line.size() && line[digits] == ' ') ++digits;
    std::uint64_t value = 0;
    const auto [next, error] = std::from_chars(line.data() + digits, line.data() + line.size(), value);
    if (error != std::errc() || next == line.data() + digits) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> FreePhysicalBytes() {
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages < 0 || pageSize <= 0) return std::nullopt;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

}  // namespace

std::optional<std::uint64_t> AvailableBytesFromMeminfo(std::string_view meminfo) {
  constexpr std::uint64_t kKilobyte = 1024;
  const std::optional<std::uint64_t> available = MeminfoKilobytes(meminfo, "MemAvailable");
  if (!available) return std::nullopt;
  const std::uint64_t swapFree = MeminfoKilobytes(meminfo, "SwapFree").value_or(0);
  return (*available + swapFree) * kKilobyte;
}

std::optional<std::uint64_t> AvailableMemoryBytes() {
  std::ifstream file("/proc/meminfo");
  if (file) {
    std::ostringstream text;
    text << file.rdbuf();
    if (const std::optional<std::uint64_t> bytes = AvailableBytesFromMeminfo(text.str())) return bytes;
  }
  return FreePhysicalBytes();
}

bool FitsInMemory(std::uint64_t count, std::size_t itemSize) {
  if (itemSize != 0 && count > UINT64_MAX / itemSize) return false;
  const std::optional<std::uint64_t> available = AvailableMemoryBytes();
  return !available || count * itemSize <= *available;
}

std::string NotEnoughMemoryMessage(std::uint64_t count) {
  return "Not enough memory for " + std::to_string(count) + " samples.";
}
