#pragma once
// Block files: a packed 32-byte little-endian header, then the values as
// little-endian doubles. The envelope file (.env) is a Block file.
//
//   0  "BLOW"              12  double start       28  domain byte
//   4  int32 value count   20  double step        29  flag byte
//   8  int32 value offset (32)                    30  two padding bytes

#include <cstdint>
#include <string>

class Block;

class BlockFileHeader {
 public:
  static constexpr int kSize = 32;

  // Reads the first 32 bytes of the file; valid when all of them could be read
  // and they begin with "BLOW".
  explicit BlockFileHeader(const char* name);

  bool IsValid() const { return m_bValid; }
  std::int32_t GetCount() const { return m_iCount; }
  std::int32_t GetOffset() const { return m_iOffset; }
  double GetStart() const { return m_dStart; }
  double GetStep() const { return m_dStep; }
  std::uint8_t GetDomain() const { return m_bDomain; }
  std::uint8_t GetFlag() const { return m_bFlag; }

 private:
  char m_szMagic[4] = {};
  std::int32_t m_iCount = 0;
  std::int32_t m_iOffset = 0;
  double m_dStart = 0.0;
  double m_dStep = 0.0;
  std::uint8_t m_bDomain = 0;
  std::uint8_t m_bFlag = 0;
  bool m_bValid = false;
};

// Writes block as a Block file through SaveFile: the target is replaced only
// once the whole file is written; on failure it is left as it was, and no
// temporary file remains.
bool SaveBlockFile(const Block& block, const std::string& name);
