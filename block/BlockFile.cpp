#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <vector>

#include "Block.h"
#include "BlockFile.h"
#include "SaveFile.h"

static_assert(std::endian::native == std::endian::little,
              "block files are little-endian and are read and written as the machine stores them");

namespace {

constexpr char kMagic[4] = {'B', 'L', 'O', 'W'};

template <typename T>
T ReadField(const char* bytes, int offset) {
  T value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

template <typename T>
void WriteField(char* bytes, int offset, T value) {
  std::memcpy(bytes + offset, &value, sizeof value);
}

void FillHeader(char (&header)[BlockFileHeader::kSize], const Block& block) {
  std::memset(header, 0, sizeof header);
  std::memcpy(header, kMagic, sizeof kMagic);
  WriteField<std::int32_t>(header, 4, block.GetSize());
  WriteField<std::int32_t>(header, 8, BlockFileHeader::kSize);
  WriteField<double>(header, 12, block.GetStart());
  WriteField<double>(header, 20, block.GetStep());
  WriteField<std::uint8_t>(header, 28, static_cast<std::uint8_t>(block.GetDomain()));
  WriteField<std::uint8_t>(header, 29, block.GetUserFlag());
}

std::size_t ValueBytes(const Block& block) {
  return static_cast<std::size_t>(block.GetSize()) * sizeof(double);
}

}  // namespace

BlockFileHeader::BlockFileHeader(const char* name) {
  std::ifstream in(name, std::ios::binary);
  char bytes[kSize];
  if (!in.read(bytes, kSize)) return;
  std::memcpy(m_szMagic, bytes, sizeof m_szMagic);
  m_iCount = ReadField<std::int32_t>(bytes, 4);
  m_iOffset = ReadField<std::int32_t>(bytes, 8);
  m_dStart = ReadField<double>(bytes, 12);
  m_dStep = ReadField<double>(bytes, 20);
  m_bDomain = ReadField<std::uint8_t>(bytes, 28);
  m_bFlag = ReadField<std::uint8_t>(bytes, 29);
  m_bValid = std::memcmp(m_szMagic, kMagic, sizeof kMagic) == 0;
}

bool Block::WriteToFile(const char* name) const {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  char header[BlockFileHeader::kSize];
  FillHeader(header, *this);
  out.write(header, sizeof header);
  if (m_iSize > 0) {
    out.write(reinterpret_cast<const char*>(m_pData.get()), static_cast<std::streamsize>(ValueBytes(*this)));
  }
  out.flush();
  const bool written = out.good();
  out.close();
  return written && !out.fail();
}

bool SaveBlockFile(const Block& block, const std::string& name) {
  char header[BlockFileHeader::kSize];
  FillHeader(header, block);
  SaveFile file(name);
  return file.Open() && file.Write(header, sizeof header) &&
         (block.GetSize() == 0 || file.Write(block.GetData(), ValueBytes(block))) && file.Commit();
}

bool Block::ReadFromFile(const char* name, int iStart, int iCount) {
  const BlockFileHeader header(name);
  if (!header.IsValid() || header.GetCount() < 0 || iStart < 0) return false;
  std::int64_t count = iCount < 0 ? std::int64_t{header.GetCount()} - iStart : iCount;
  if (count <= 0) return false;

  std::ifstream in(name, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::int64_t fileSize = in.tellg();
  const std::int64_t first = std::int64_t{header.GetOffset()} + 8 * std::int64_t{iStart};
  if (header.GetOffset() < 0 || fileSize < 0 || first >= fileSize) return false;
  // Only the values the file really holds: a lying count must not size the block.
  count = std::min(count, (fileSize - first) / 8);
  if (count <= 0) return false;

  std::vector<double> values(static_cast<std::size_t>(count));
  in.seekg(first);
  if (!in.read(reinterpret_cast<char*>(values.data()), count * 8)) return false;

  SetSize(static_cast<int>(count));
  std::copy(values.begin(), values.end(), m_pData.get());
  m_dStart = header.GetStart();
  m_dStep = header.GetStep();
  m_bUserFlag = header.GetFlag();
  m_eDomain = static_cast<TDomain>(header.GetDomain());
  return true;
}
