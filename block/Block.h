#pragma once
// The signal block library: Block, its statistics and gap filling, its file
// format, the band-pass filter and the shared helpers. Qt-free.
//
// Index ranges are inclusive pairs (iKd, iKf); a negative iKf means the default
// end (the last index, or the last index of the first half for dmPower), so
// (0, -1) is the whole block. A value counts as a gap to be filled when it is
// exactly 0.0. Range and size violations are precondition failures (see
// Precondition.h), never results. Allocation failure throws std::bad_alloc.

#include <cstdint>

#include "LargeArray.h"
#include "Precondition.h"
#include "Progress.h"

enum TDomain : std::uint8_t {
  dmReal = 0,   // plain values
  dmComp = 1,   // packed complex spectrum: re[0..h-1], Nyquist at h, im[1..h-1] at h+1..2h-1
  dmPower = 2,  // power spectrum in the first half, zeros in the second
};

// Result of Block::MinMax; among equal extremes the first index wins.
struct BlockExtremes {
  double max;
  double min;
  std::int32_t maxPos;
  std::int32_t minPos;
};

// The smallest M >= 0 with 2^M >= N; N must be a power of two.
int Log2(int N);

class Block {
 public:
  Block();
  explicit Block(int n);
  // Copies the values only; every attribute takes its default.
  Block(const Block& b);
  Block& operator=(const Block&) = delete;
  virtual ~Block();

  // A fresh start: n zeros and every attribute at its default, old values dropped.
  void SetSize(int n);

  int GetSize() const { return m_iSize; }
  double* GetData() { return m_pData.get(); }
  const double* GetData() const { return m_pData.get(); }
  double& GetStart() { return m_dStart; }
  double GetStart() const { return m_dStart; }
  double& GetStep() { return m_dStep; }
  double GetStep() const { return m_dStep; }
  TDomain GetDomain() const { return m_eDomain; }
  void SetDomain(TDomain domain) { m_eDomain = domain; }
  std::uint8_t GetUserFlag() const { return m_bUserFlag; }
  void SetUserFlag(std::uint8_t flag) { m_bUserFlag = flag; }
  char* GetUnit() { return m_szUnit; }
  const char* GetUnit() const { return m_szUnit; }
  // Returns the previous setting.
  bool SetCheckRange(bool on);

  // Outside 0 .. size-1: a precondition failure while range checking is on,
  // otherwise a shared spare value that reads 0.0 and swallows writes.
  double& operator[](int i) {
    if (i >= 0 && i < m_iSize) return m_pData[i];
    return OutOfRange();
  }
  double operator[](int i) const {
    if (i >= 0 && i < m_iSize) return m_pData[i];
    return OutOfRange();
  }

  // Applies the default end to a negative iKf and checks that the range lies
  // inside the block.
  void NormalizeRange(int& iKd, int& iKf) const;

  // Value operations, in place; each returns the block so that calls chain.
  Block& Fill(double v, int iKd = 0, int iKf = -1);
  // Values iKd..iKf of src to this block from index iKn; the range is
  // normalised against this block and must also lie inside src.
  Block& CopyRange(const Block& src, int iKd, int iKf, int iKn);
  Block& operator+=(const Block& bOper);
  Block& operator-=(const Block& bOper);
  // Complex product when both blocks are dmComp, element-wise otherwise.
  Block& operator*=(const Block& bOper);
  // Element-wise; a zero divisor gives 0.0.
  Block& operator/=(const Block& bOper);
  Block& operator+=(const double& v);
  Block& operator*=(const double& v);
  Block& RemoveMean();
  Block& SignedSqrt();
  Block& Difference();
  Block& FromDecibels();
  Block& ToDecibels();
  Block& FillGapsLinear();
  Block& FillGapsCubic(bool cyclic);
  Block& TakeMax(const Block& b);
  Block& FromPolar(const Block& mag, const Block& phase);
  Block& Convolve(Block& kernel, Progress* progress, int steps);
  Block& CumulativeSum();
  Block& Abs();
  Block& Clip(double lo, double hi);

  // Statistics; the block is not changed.
  void MinMax(BlockExtremes& out, int iKd = 0, int iKf = -1) const;
  double Sum(int iKd = 0, int iKf = -1) const;
  double Mean(int iKd = 0, int iKf = -1) const;
  // Sample standard deviation (divisor n - 1).
  double StdDev(int iKd = 0, int iKf = -1) const;
  // Adds the range's values into hist's bins (hist is not cleared); returns hist.
  Block& Histogram(Block& hist, int iKd = 0, int iKf = -1) const;
  // Magnitude and phase (degrees) of a packed spectrum.
  void ToPolar(Block& mag, Block& phase) const;

  // Block files (BlockFile.cpp).
  bool WriteToFile(const char* name) const;
  // Reads iCount values from value iStart on; iCount < 0 means up to the end.
  bool ReadFromFile(const char* name, int iStart = 0, int iCount = -1);

  // Fourier transform (BLOFFT.cpp, library blockfft; not part of every build).
  // ForwardFFT: N = 2h values (h a power of two) become the packed spectrum,
  // every bin (2/sqrt(N)) X_k; InverseFFT: a packed spectrum of N values (a
  // power of two) becomes N real values. Both in place, m_dStep becomes
  // 1 / (N m_dStep). The arithmetic is fixed to the order of every operation,
  // so the results are the same bits on every processor and code path.
  // Cache: one set of tables per program for the last size and direction
  // (twiddles per stage, the bit-reversal permutation, the split rotations and
  // two work arrays: about 3.25 N doubles for a forward transform of N values,
  // 4.5 N for an inverse one, and 2N more while they are made); made on first
  // use, rebuilt when the size or the direction changes, freed at exit. A call
  // with the cache in place allocates nothing. Not
  // thread-safe: the cache is unguarded module state. An inverse transform of
  // 2^18 values or more shares its work with a thread of its own where the
  // process may run on two processors.
  Block& ForwardFFT();
  Block& InverseFFT();
  Block& PowerSpectrum(bool smooth, bool decibels);
  Block& CrossSpectrum(const Block& nt);

 protected:
  int DefaultEnd() const;
  double& OutOfRange() const {
    BLOCK_REQUIRE(!m_bDoCheckRange, "!m_bDoCheckRange");
    s_dSpare = 0.0;
    return s_dSpare;
  }

  // The one spare value behind unchecked out-of-range access.
  inline static double s_dSpare = 0.0;

  std::int32_t m_iSize = 0;
  LargeArray<double> m_pData;
  double m_dStart = 0.0;
  double m_dStep = 1.0;
  TDomain m_eDomain = dmReal;
  std::uint8_t m_bUserFlag = 0;
  bool m_bDoCheckRange = true;
  char m_szUnit[11] = {};
};

// The rest of the Block unit.
#include "BlockFile.h"
#include "Filter.h"
#include "TextToNumber.h"
