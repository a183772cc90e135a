// Arbitrary bytes as a block file: the header check and the reader, whole and
// in ranges, must neither crash nor size a block beyond what the file holds.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Block.h"

namespace {

const std::string& ScratchPath() {
  static const std::string path = "/tmp/blockfile_fuzzer_" + std::to_string(getpid()) + ".env";
  return path;
}

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "blockfile_fuzzer: %s\n", what);
  std::abort();
}

// Reads the file of `size` bytes at `path` whole and in a few ranges.
void CheckFile(const std::string& path, std::size_t size) {
  const BlockFileHeader header(path.c_str());
  Require(!header.IsValid() || size >= BlockFileHeader::kSize, "valid header in a short file");

  struct Range {
    int iStart, iCount;
  };
  for (const Range r : {Range{0, -1}, Range{1, -1}, Range{0, 3}, Range{2, 1 << 30}}) {
    Block b;
    if (!b.ReadFromFile(path.c_str(), r.iStart, r.iCount)) {
      Require(b.GetSize() == 0, "failed read changed the block");
      continue;
    }
    Require(header.IsValid(), "read succeeded without a valid header");
    Require(b.GetSize() > 0, "read succeeded with no values");
    // Every value came from the file, eight bytes each (the offset field may
    // point anywhere, the header included).
    Require(static_cast<std::size_t>(b.GetSize()) * 8 <= size, "block larger than the file");
    Require(r.iCount < 0 || b.GetSize() <= r.iCount, "more values than asked for");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = ScratchPath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  const bool written = std::fwrite(data, 1, size, file) == size;
  std::fclose(file);
  if (written) CheckFile(path, size);
  std::remove(path.c_str());
  return 0;
}

