#include "RhythmEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <new>
#include <stop_token>
#include <thread>
#include <utility>

#include "Block.h"
#include "Gain.h"
#include "Lagrange.h"
#include "MemoryBudget.h"
#include "Precondition.h"
#include "Processors.h"
#include "ProgressWrapper.h"
#include "RandomGenerator.h"
#include "SoundStore.h"
#include "SourceGenerator.h"
#include "VectorKernels.h"

namespace {

// Samples per pass of the two phases: the sequential walk over the periods,
// then the per-sample output of the chunk.
constexpr int kChunk = 2048;
constexpr int kPeakWindow = 20;
constexpr double kGainFloor = 0.0001;

bool UsesGain(int type) {
  return type == mtAmplitude || type == mtAmpDet || type == mtDistortion || type == mtFrequency ||
         type == mtAmpFreq;
}
bool ReadsShifted(int type) {
  return type == mtDetonation || type == mtAmpDet || type == mtFrequency || type == mtAmpFreq;
}

// Samples of one period whose levels depend on their index alone: their
// level is the envelope (with this seam value) at their phase, times Mc.
struct LevelRun {
  int offset;  // in the chunk
  int count;
  double T0, Pc, Mc;
  double seam;
};

// Runs one chunk hands on; a chunk with more has the rest of its levels
// worked out by the walk.
constexpr int kRunsPerChunk = 32;

// What the walk leaves in a chunk: the runs, in order, and between them the
// level and magnitude of every other sample (those at period boundaries and
// in waits, and all those after the last run that fitted).
struct WalkedLevels {
  int runCount;
  LevelRun runs[kRunsPerChunk];
  double level[kChunk];
  double magnitude[kChunk];
};

// The sequential part of the rhythm: period boundaries, their random lengths
// and magnitudes, the seam point, the wait for the source's next sign change
// and the envelope level S of every sample, where it follows from the index
// alone as runs that the output works out.
class PeriodWalk {
 public:
  PeriodWalk(const RhythmParameters& parameters, int fs, RhythmEnvelope envelope,
             RandomGenerator& random, std::vector<PeriodRecord>* periods)
      : m_dP(parameters.period),
        m_dTd(parameters.timeDeviation),
        m_dMd(parameters.magnDeviation),
        m_dFs(fs),
        m_dOneSample(1.0 / fs),
        m_envelope(envelope),
        m_random(random),
        m_pPeriods(periods) {
    m_dPc = DrawPeriod();
    m_dMc = RandomDeviation(m_dMd, 1, m_random);
    m_dMn = RandomDeviation(m_dMd, 1, m_random);
    WriteSeam();
    Record(0);
  }

  // The last period ends with the sound's N samples.
  void Finish(int N) {
    if (m_pPeriods && !m_pPeriods->empty()) m_pPeriods->back().length = N - m_pPeriods->back().first;
  }

  // The levels S and the magnitudes Mc of the samples first .. first + count - 1,
  // as runs where they depend on the index alone (the output works them out
  // on its threads) and as values elsewhere; soundAt(i) is the sound at i,
  // whose sign changes the wait follows. Only the samples of a wait and those
  // at period boundaries are asked for.
  template <typename SoundAt>
  void Run(const SoundAt& soundAt, int first, int count, WalkedLevels& walked) {
    const int end = first + count;
    walked.runCount = 0;
    int i = first;
    while (i < end) {
      Step(i, soundAt(i));
      walked.level[i - first] = m_dS;
      walked.magnitude[i - first] = m_dMc;
      ++i;
      if (m_bWaiting) continue;
      // Up to the next boundary nothing but t changes: each sample's level
      // depends on its own index alone.
      const int boundary = NextBoundary(i, end);
      if (boundary == i) continue;
      const int offset = i - first;
      if (walked.runCount < kRunsPerChunk) {
        walked.runs[walked.runCount++] = {offset, boundary - i, m_dT0, m_dPc, m_dMc, m_envelope.SeamValue()};
        // The run's last level, which a wait after it holds.
        PeriodLevels(m_envelope, m_dFs, m_dT0, m_dPc, m_dMc, boundary - 1, 1, &m_dS);
      } else {
        PeriodLevels(m_envelope, m_dFs, m_dT0, m_dPc, m_dMc, i, boundary - i, walked.level + offset);
        std::fill(walked.magnitude + offset, walked.magnitude + (boundary - first), m_dMc);
        m_dS = walked.level[boundary - 1 - first];
      }
      i = boundary;
    }
  }

 private:
  double DrawPeriod() {
    const double period = RandomDeviation(m_dTd, m_dP, m_random);
    return period >= m_dOneSample ? period : m_dOneSample;
  }

  // Joins the end of this period (seam * Mc) to the start of the next (e0 * Mn).
  void WriteSeam() {
    if (m_dMc != 0) m_envelope.SetSeamValue(m_dMn * m_envelope.FirstValue() / m_dMc);
  }

  // Sample i in full: boundaries, the wait, the level.
  void Step(int i, int x) {
    double t = i / m_dFs - m_dT0;
    while (t >= m_dPc) {
      t -= m_dPc;
      m_dT0 += m_dPc;
      m_dPc = DrawPeriod();
      m_dMc = m_dMn;
      m_dMn = RandomDeviation(m_dMd, 1, m_random);
      WriteSeam();
      Record(i);
      m_bWaiting = true;
      m_bSign = x >= 0;
    }
    // A new period takes effect only where the source changes sign.
    if (m_bWaiting && (x > 0) != m_bSign) m_bWaiting = false;
    if (!m_bWaiting) m_dS = m_envelope.ValueAt(t / m_dPc) * m_dMc;
  }

  void Record(int i) {
    if (!m_pPeriods) return;
    if (!m_pPeriods->empty()) m_pPeriods->back().length = i - m_pPeriods->back().first;
    m_pPeriods->push_back({i, 0, m_dMc});
  }

  bool Reached(int i) const { return i / m_dFs - m_dT0 >= m_dPc; }

  // The first sample from i on (before end) at which the period ends. The time
  // into the period grows with the index, so the estimate only needs to be
  // moved to where Reached changes.
  int NextBoundary(int i, int end) const {
    const double estimate = std::ceil((m_dT0 + m_dPc) * m_dFs);
    int j = !(estimate < end) ? end : estimate > i ? static_cast<int>(estimate) : i;
    while (j > i && Reached(j - 1)) --j;
    while (j < end && !Reached(j)) ++j;
    return j;
  }

  const double m_dP;
  const double m_dTd;
  const double m_dMd;
  const double m_dFs;
  const double m_dOneSample;
  const RhythmEnvelope m_envelope;
  RandomGenerator& m_random;
  std::vector<PeriodRecord>* m_pPeriods;

  double m_dT0 = 0.0;  // start of the current period, seconds
  double m_dPc = 0.0;  // length of the current period
  double m_dMc = 0.0;  // magnitude of the current period
  double m_dMn = 0.0;  // magnitude of the next period
  double m_dS = 0.0;   // envelope level
  bool m_bWaiting = false;
  bool m_bSign = false;  // the source at the boundary was >= 0
};

}  // namespace

void PeriodLevels(const RhythmEnvelope& envelope, double fs, double T0, double Pc, double Mc,
                  int first, int count, double* level, VectorPath path) {
  const double* values = envelope.values;
  const int last = envelope.points;
  if (const auto kernel = VectorKernel(path, avx2::PeriodLevels, avx512::PeriodLevels)) {
    return kernel(values, last, fs, T0, Pc, Mc, first, count, level);
  }
  for (int j = 0; j < count; ++j) level[j] = envelope.ValueAt(((first + j) / fs - T0) / Pc) * Mc;
}

double RandomDeviation(double a, double b, RandomGenerator& random) {
  return b * ((random.Uniform() - 0.5) * a + 1);
}

int RecentPeak(const std::int16_t* s, int i) {
  int peak = 0;
  for (int k = std::max(0, i - kPeakWindow); k < i; ++k) peak = std::max(peak, std::abs(int{s[k]}));
  return peak;
}

void Distort(const std::int16_t* x, const int* peak, const double* gain, const double* magnitude,
             int count, double* value, VectorPath path) {
  if (const auto kernel = VectorKernel(path, avx2::Distort, avx512::Distort)) {
    return kernel(x, peak, gain, magnitude, count, value);
  }
  for (int k = 0; k < count; ++k) value[k] = DistortSample(x[k], peak[k], gain[k], magnitude[k]);
}

namespace {

// Sixteen magnitudes side by side; |-32768| fits unsigned.
using MagnitudeLanes = std::uint16_t __attribute__((vector_size(32)));
using HalfMagnitudeLanes = std::uint16_t __attribute__((vector_size(16)));
using PeakLanes = std::int32_t __attribute__((vector_size(32)));
constexpr int kMagnitudeLanes = 16;

// The larger of a[j] and b[j] for the sixteen j from 0, into m (by
// reference: vectors passed by value would change the calling convention
// between the two builds of the function using them).
[[gnu::always_inline]] inline void LargerOf(const std::uint16_t* a, const std::uint16_t* b, MagnitudeLanes& m) {
  MagnitudeLanes x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  m = x > y ? x : y;
}

// widest[j] = max(narrow[j], narrow[j + step]) for j < count (a multiple of
// the lanes): the maximum over twice the neighbours narrow had.
[[gnu::always_inline]] inline void WidenMaxima(const std::uint16_t* narrow, int step, int count,
                                               std::uint16_t* widest) {
  for (int j = 0; j < count; j += kMagnitudeLanes) {
    MagnitudeLanes m;
    LargerOf(narrow + j, narrow + j + step, m);
    std::memcpy(widest + j, &m, sizeof m);
  }
}

// The values rounded to single precision into out (count >= 1), and the least
// and greatest of them. Eight running extremes side by side give what one
// pass in order gives: a NaN never replaces an extreme (nor does anything
// replace a NaN first value), and which zero wins does not matter.
__attribute__((target_clones("avx2", "default"))) void RoundWithExtremes(const double* value, int count,
                                                                         float* out, float& least,
                                                                         float& greatest) {
  using DoubleLanes = double __attribute__((vector_size(64)));
  using FloatLanes = float __attribute__((vector_size(32)));
  constexpr int kLanes = 8;
  const float first = static_cast<float>(value[0]);
  FloatLanes low = {first, first, first, first, first, first, first, first};
  FloatLanes high = low;
  int k = 0;
  for (; k + kLanes <= count; k += kLanes) {
    DoubleLanes wide;
    std::memcpy(&wide, value + k, sizeof wide);
    const FloatLanes rounded = __builtin_convertvector(wide, FloatLanes);
    std::memcpy(out + k, &rounded, sizeof rounded);
    low = rounded < low ? rounded : low;
    high = high < rounded ? rounded : high;
  }
  least = low[0];
  greatest = high[0];
  for (int lane = 1; lane < kLanes; ++lane) {
    least = std::min(least, low[lane]);
    greatest = std::max(greatest, high[lane]);
  }
  for (; k < count; ++k) {
    out[k] = static_cast<float>(value[k]);
    least = std::min(least, out[k]);
    greatest = std::max(greatest, out[k]);
  }
}

}  // namespace

__attribute__((target_clones("avx2", "default"))) void RecentPeaks(const std::int16_t* s, int first, int count,
                                                                   int* peak) {
  // magnitude[j] is |s[first - 20 + j]| (0 before the sound), so the window of
  // sample first + k is magnitude[k .. k + 19]: the maximum over 16 of them
  // from k and over 4 from k + 16. The maxima over 2, 4, 8 and 16 come each
  // from two of the one before, sixteen samples at a time.
  static_assert(kPeakWindow == 20);
  constexpr int kMaxCount = 4096;
  // Each wider maximum is made for 32 fewer samples than the one it reads, so
  // that every lane reads values made before; the magnitudes past the
  // window's end are 0.
  constexpr int kMargin = 32;
  constexpr int kSpan = kMaxCount + 4 * kMargin;
  std::uint16_t magnitude[kSpan];
  std::uint16_t over2[kSpan];
  std::uint16_t over4[kSpan];
  std::uint16_t over8[kSpan];
  std::uint16_t over16[kSpan];
  const int length = count + kPeakWindow;
  const int skipped = std::clamp(kPeakWindow - first, 0, length);
  std::fill(magnitude, magnitude + skipped, std::uint16_t{0});
  const std::int16_t* from = s + first - kPeakWindow;
  for (int j = skipped; j < length; ++j) magnitude[j] = static_cast<std::uint16_t>(std::abs(int{from[j]}));
  std::fill(magnitude + length, magnitude + kSpan, std::uint16_t{0});
  const int lanes = (count + kMagnitudeLanes - 1) / kMagnitudeLanes * kMagnitudeLanes;
  WidenMaxima(magnitude, 1, lanes + 3 * kMargin, over2);
  WidenMaxima(over2, 2, lanes + 2 * kMargin, over4);
  WidenMaxima(over4, 4, lanes + kMargin, over8);
  WidenMaxima(over8, 8, lanes, over16);
  int k = 0;
  for (; k + kMagnitudeLanes <= count; k += kMagnitudeLanes) {
    MagnitudeLanes m;
    LargerOf(over16 + k, over4 + k + 16, m);
    const HalfMagnitudeLanes low = __builtin_shufflevector(m, m, 0, 1, 2, 3, 4, 5, 6, 7);
    const HalfMagnitudeLanes high = __builtin_shufflevector(m, m, 8, 9, 10, 11, 12, 13, 14, 15);
    const PeakLanes wide[2] = {__builtin_convertvector(low, PeakLanes), __builtin_convertvector(high, PeakLanes)};
    std::memcpy(peak + k, wide, sizeof wide);
  }
  for (; k < count; ++k) peak[k] = std::max(over16[k], over4[k + 16]);
}

namespace {

// One chunk on its way: what the walk found, and the output values of every
// channel (kept in double precision until they are summed). Nothing is
// initialised: the walk sets first, count and its part before anything reads
// them.
struct Chunk {
  int first;
  int count;
  WalkedLevels walked;
  double value[kMaxRhythmChannels][kChunk];
  // The extremes of each channel's values rounded to single precision.
  float least[kMaxRhythmChannels];
  float greatest[kMaxRhythmChannels];
};

// The per-sample output of one rhythm: reads only the source, the weights,
// the modulator, the envelope's values before the seam and its chunk, writes
// only its chunk, its part of out and its thread's copy of the envelope, so
// chunks can be done in any order on `threads` threads (numbered from 0). The
// levels, gains and read positions are worked out once for all channels.
class ChunkOutput {
 public:
  ChunkOutput(const std::int16_t* const* s, int channels, int N, int fs, const RhythmParameters& parameters,
              const Block* modulator, RhythmEnvelope envelope, int threads, float* const* out)
      : m_iChannels(channels),
        m_iN(N),
        m_dFs(fs),
        m_iType(parameters.type),
        m_dD(parameters.maxDelay),
        m_m(modulator != nullptr ? modulator->GetData() : nullptr),
        m_iNp(modulator != nullptr ? modulator->GetSize() : 0),
        m_iPoints(envelope.points),
        // The walk writes the seam into the envelope at every period, ahead
        // of the chunks still to be output: each thread sets a run's own in a
        // copy.
        m_envelopes(MakeLargeArray<double>(static_cast<std::size_t>(threads) * static_cast<std::size_t>(envelope.points + 1))) {
    std::copy(s, s + channels, m_s);
    std::copy(out, out + channels, m_out);
    LagrangeWeights(m_w);
    for (int t = 0; t < threads; ++t) std::copy(envelope.values, envelope.values + envelope.points, EnvelopeOf(t));
  }

  void operator()(Chunk& chunk, int thread) const {
    const int first = chunk.first;
    const int count = chunk.count;
    double level[kChunk];
    double magnitude[kChunk];
    Levels(chunk, thread, level, magnitude);
    double gain[kChunk];
    double position[kChunk];
    int peak[kChunk];
    if (UsesGain(m_iType)) RhythmGains(level, count, gain);
    if (m_iType == mtDetonation || m_iType == mtAmpDet) {
      for (int k = 0; k < count; ++k) position[k] = (first + k) - (level[k] - 0.5) * m_dD;
    } else if (m_iType == mtFrequency || m_iType == mtAmpFreq) {
      // i mod Np, in runs up to the modulator's end, so that each run is a
      // plain loop the compiler can do several samples at a time.
      int modulatorIndex = first % m_iNp;
      for (int k = 0; k < count;) {
        const int run = std::min(count - k, m_iNp - modulatorIndex);
        const double* m = m_m + modulatorIndex;
        const double* g = gain + k;
        double* p = position + k;
        for (int j = 0; j < run; ++j) p[j] = (first + k + j) - m[j] / (g[j] + kGainFloor) * m_dD;
        k += run;
        modulatorIndex = 0;
      }
    }
    if (ReadsShifted(m_iType)) {
      double* values[kMaxRhythmChannels];
      for (int c = 0; c < m_iChannels; ++c) values[c] = chunk.value[c];
      LagrangeReadMany(m_w, m_s, m_iChannels, m_iN, position, count, values);
    }
    for (int c = 0; c < m_iChannels; ++c) {
      double* value = chunk.value[c];

      const std::int16_t* source = m_s[c] + first;
      switch (m_iType) {
        case mtAmplitude:
          for (int k = 0; k < count; ++k) value[k] = source[k] * gain[k];
          break;
        case mtAmpDet:
        case mtAmpFreq:
          for (int k = 0; k < count; ++k) value[k] *= gain[k];
          break;
        case mtDetonation:
        case mtFrequency:
          break;
        case mtDistortion:
          RecentPeaks(m_s[c], first, count, peak);
          Distort(source, peak, gain, magnitude, count, value);
          break;
        default:
          for (int k = 0; k < count; ++k) value[k] = source[k];
          break;
      }
      RoundWithExtremes(value, count, m_out[c] + first, chunk.least[c], chunk.greatest[c]);
    }
  }

 private:
  double* EnvelopeOf(int thread) const {
    return m_envelopes.get() + static_cast<std::size_t>(thread) * static_cast<std::size_t>(m_iPoints + 1);
  }

  // The chunk's levels and magnitudes: its runs' worked out, the others as
  // the walk left them.
  void Levels(const Chunk& chunk, int thread, double* level, double* magnitude) const {
    const WalkedLevels& walked = chunk.walked;
    const RhythmEnvelope envelope{EnvelopeOf(thread), m_iPoints};
    int done = 0;
    auto copyTo = [&](int end) {
      std::copy(walked.level + done, walked.level + end, level + done);
      std::copy(walked.magnitude + done, walked.magnitude + end, magnitude + done);
    };
    for (int r = 0; r < walked.runCount; ++r) {
      const LevelRun& run = walked.runs[r];
      copyTo(run.offset);
      envelope.SetSeamValue(run.seam);
      PeriodLevels(envelope, m_dFs, run.T0, run.Pc, run.Mc, chunk.first + run.offset, run.count, level + run.offset);
      std::fill(magnitude + run.offset, magnitude + run.offset + run.count, run.Mc);
      done = run.offset + run.count;
    }
    copyTo(chunk.count);
  }

  const std::int16_t* m_s[kMaxRhythmChannels] = {};
  float* m_out[kMaxRhythmChannels] = {};
  const int m_iChannels;
  const int m_iN;
  const double m_dFs;
  const int m_iType;
  const double m_dD;
  const double* const m_m;
  const int m_iNp;
  const int m_iPoints;
  const LargeArray<double> m_envelopes;  // a copy of points + 1 values per thread
  double m_w[kLagrangePoints];
};

// Waits for ready() a little while without giving up the processor: a chunk
// takes tens of microseconds, far less than a sleep and a wake-up cost where
// the system is busy. False when it did not come in that while.
template <typename Ready>
bool SpinUntil(Ready ready) {
  constexpr auto kSpinTime = std::chrono::microseconds(50);
  const auto until = std::chrono::steady_clock::now() + kSpinTime;
  do {
    for (int k = 0; k < 64; ++k) {
      if (ready()) return true;
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
    }
  } while (std::chrono::steady_clock::now() < until);
  return ready();
}

// A ring of chunks between the walk, which fills them in order on the calling
// thread, and the output, which a few worker threads (and the calling thread
// while it waits) do in whatever order they take them. The calling thread
// takes the chunks back in order, so their values are summed in sample order.
//
// The handover is lock-free while there is work: chunks are claimed from a
// counter and marked done per slot. Only a thread that found nothing for a
// while sleeps, and only then does the other side pay for a wake-up.
class ChunkPipeline {
 public:
  // For a run of `chunks` chunks.
  ChunkPipeline(const ChunkOutput& output, int threads, std::int64_t chunks)
      : m_output(output),
        m_ringSize(static_cast<std::size_t>(RingSizeFor(threads, chunks))),
        m_ring(MakeLargeArray<Chunk>(m_ringSize)) {
    m_workers.reserve(static_cast<std::size_t>(threads - 1));
    for (int t = 1; t < threads; ++t) {
      m_workers.emplace_back([this, t](std::stop_token stop) { Work(stop, t); });
    }
  }

  // The slot for chunk c, free once chunk c - ring size has been taken back.
  Chunk& Slot(std::int64_t c) { return m_ring[Index(c)]; }
  std::int64_t RingSize() const { return static_cast<std::int64_t>(m_ringSize); }

  // Chunk c (the next in order) has been walked and may be output.
  void Publish(std::int64_t c) {
    // Sequentially consistent, as the idle count's increment and the
    // sleeper's look at the counter are: one of the two sides sees the other.
    m_iWalked.store(c + 1);
    if (m_iIdleWorkers.load() > 0) {
      std::lock_guard lock(m_mutex);
      m_walkedChanged.notify_one();
    }
  }

  // Waits until chunk c (walked) has been output, doing pending chunks itself
  // meanwhile, and returns it.
  const Chunk& Collect(std::int64_t c) {
    const auto done = [this, c] { return m_iDone[Index(c)].load() == c + 1; };
    while (!done()) {
      if (std::int64_t mine; Claim(mine)) {
        Output(mine, 0);
        continue;
      }
      // Every walked chunk is taken, so only a worker can end the wait.
      if (SpinUntil(done)) break;
      std::unique_lock lock(m_mutex);
      m_iWaitingCollector.store(1);
      m_chunkDone.wait(lock, done);
      m_iWaitingCollector.store(0);
    }
    return Slot(c);
  }

 private:
  // Room for the walk to run a few milliseconds ahead: a thread that the system
  // sets aside for a time slice then holds up nobody (a small ring made the
  // threads sleep and wake every few chunks on a busy machine). No more slots
  // than chunks; 66 kB each.
  static std::int64_t RingSizeFor(int threads, std::int64_t chunks) {
    return std::max<std::int64_t>(1, std::min<std::int64_t>(chunks, std::min(256, 64 * threads)));
  }

  std::size_t Index(std::int64_t c) const { return static_cast<std::size_t>(c) % m_ringSize; }

  bool Claimable() const { return m_iClaimed.load() < m_iWalked.load(); }

  // Takes the oldest walked chunk that nobody has taken yet.
  bool Claim(std::int64_t& mine) {
    std::int64_t claimed = m_iClaimed.load(std::memory_order_relaxed);
    while (claimed < m_iWalked.load(std::memory_order_acquire)) {
      if (m_iClaimed.compare_exchange_weak(claimed, claimed + 1, std::memory_order_relaxed)) {
        mine = claimed;
        return true;
      }
    }
    return false;
  }

  // Chunk `mine` on thread `thread` (0 the calling one).
  void Output(std::int64_t mine, int thread) {
    m_output(Slot(mine), thread);
    m_iDone[Index(mine)].store(mine + 1);
    if (m_iWaitingCollector.load() != 0) {
      std::lock_guard lock(m_mutex);
      m_chunkDone.notify_one();
    }
  }

  void Work(const std::stop_token& stop, int thread) {
    for (;;) {
      std::int64_t mine = 0;
      bool claimed = false;
      SpinUntil([&] { return (claimed = Claim(mine)) || stop.stop_requested(); });
      if (claimed) {
        Output(mine, thread);
        continue;
      }
      if (stop.stop_requested()) return;
      std::unique_lock lock(m_mutex);
      m_iIdleWorkers.fetch_add(1);
      const bool claimable = m_walkedChanged.wait(lock, stop, [this] { return Claimable(); });
      m_iIdleWorkers.fetch_sub(1);
      if (!claimable) return;
    }
  }

  const ChunkOutput& m_output;
  const std::size_t m_ringSize;
  // Megabytes that zeroing would first touch page by page before any work
  // starts; the chunks touch them as they fill.
  const LargeArray<Chunk> m_ring;
  std::atomic<std::int64_t> m_iWalked = 0;   // chunks 0 .. m_iWalked - 1 have been walked
  std::atomic<std::int64_t> m_iClaimed = 0;  // chunks 0 .. m_iClaimed - 1 have been taken for output
  // Per slot, 1 + the last chunk output in it (0: none yet).
  std::vector<std::atomic<std::int64_t>> m_iDone = std::vector<std::atomic<std::int64_t>>(m_ringSize);
  // Who sleeps, so that the other side knows to wake them.
  std::atomic<int> m_iIdleWorkers = 0;
  std::atomic<int> m_iWaitingCollector = 0;
  std::mutex m_mutex;
  std::condition_variable_any m_walkedChanged;
  std::condition_variable m_chunkDone;
  // Last, so that they stop and join before anything they use goes.
  std::vector<std::jthread> m_workers;
};

}  // namespace

int DefaultRhythmThreads() { return AvailableProcessors(); }

double Rhythmize(const std::int16_t* s, int N, int fs, const RhythmParameters& parameters,
                 const Block* modulator, RhythmEnvelope envelope, RandomGenerator& random,
                 Progress* progress, float* out, std::vector<PeriodRecord>* periods, int threads) {
  ChannelTotals totals;
  RhythmizeChannels(&s, 1, N, fs, parameters, modulator, envelope, random, progress, &out, &totals, periods, threads);
  return totals.sum;
}

void RhythmizeChannels(const std::int16_t* const* s, int channels, int N, int fs,
                       const RhythmParameters& parameters, const Block* modulator, RhythmEnvelope envelope,
                       RandomGenerator& random, Progress* progress, float* const* out, ChannelTotals* totals,
                       std::vector<PeriodRecord>* periods, int threads) {
  BLOCK_REQUIRE(channels >= 1 && channels <= kMaxRhythmChannels, "one or two channels");
  if (periods) periods->clear();
  PeriodWalk walk(parameters, fs, envelope, random, periods);
  TProgressWrapper progressSteps;
  progressSteps.start(progress, N);

  const std::int64_t chunks = (std::int64_t{N} + kChunk - 1) / kChunk;
  const int requested = threads > 0 ? threads : DefaultRhythmThreads();
  const int used = static_cast<int>(std::min<std::int64_t>(requested, chunks));
  const ChunkOutput output(s, channels, N, fs, parameters, modulator, envelope, used, out);
  ChunkPipeline pipeline(output, used, chunks);

  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  std::fill(totals, totals + channels, ChannelTotals{0.0, kInfinity, -kInfinity});
  std::int64_t collected = 0;
  auto collect = [&] {
    const Chunk& chunk = pipeline.Collect(collected++);
    // Each sum is one chain of additions in sample order; a stereo sound's
    // two chains run side by side in one loop.
    if (channels == 2) {
      double left = totals[0].sum;
      double right = totals[1].sum;
      for (int k = 0; k < chunk.count; ++k) {
        left += chunk.value[0][k];
        right += chunk.value[1][k];
      }
      totals[0].sum = left;
      totals[1].sum = right;
    } else {
      for (int k = 0; k < chunk.count; ++k) totals[0].sum += chunk.value[0][k];
    }
    for (int c = 0; c < channels; ++c) {
      totals[c].least = std::min(totals[c].least, chunk.least[c]);
      totals[c].greatest = std::max(totals[c].greatest, chunk.greatest[c]);
    }
  };
  for (std::int64_t c = 0; c < chunks; ++c) {
    if (c >= pipeline.RingSize()) collect();
    Chunk& chunk = pipeline.Slot(c);
    chunk.first = static_cast<int>(c * kChunk);
    chunk.count = std::min(kChunk, N - chunk.first);
    progressSteps.tick(chunk.count);
    // A stereo sound's sign is that of its channels' sum.
    if (channels == 1) {
      walk.Run([mono = s[0]](int i) { return int{mono[i]}; }, chunk.first, chunk.count, chunk.walked);
    } else {
      walk.Run([left = s[0], right = s[1]](int i) { return left[i] + right[i]; }, chunk.first, chunk.count,
               chunk.walked);
    }
    pipeline.Publish(c);
  }
  while (collected < chunks) collect();
  walk.Finish(N);
  progressSteps.end();
}

bool MakeModulator(Block& m, int Np, double a, double b, RandomGenerator& random,
                   Progress* progress) {
  m.SetSize(Np);
  if (!GenerateSource(m, a, b, random, progress)) return false;
  BlockExtremes extremes;
  m.MinMax(extremes);
  if (extremes.max != 0) m *= 1 / extremes.max;
  return true;
}

namespace {

// The channels of a sound, each one's samples in a row: a mono sound's own
// samples, a stereo one's taken apart into `apart`.
struct ChannelSources {
  int channels = 1;
  int frames = 0;
  LargeArray<std::int16_t> apart;
  const std::int16_t* source[kMaxRhythmChannels] = {};
};

// Frames first .. end - 1 of two channels' interleaved samples into one row
// per channel, sixteen frames at a time.
__attribute__((target_clones("avx2", "default"))) void TakeApart(const std::int16_t* interleaved, int first, int end,
                                                                  std::int16_t* left, std::int16_t* right) {
  using SampleLanes = std::int16_t __attribute__((vector_size(32)));
  constexpr int kFrames = 16;
  int j = first;
  for (; j + kFrames <= end; j += kFrames) {
    SampleLanes a, b;
    std::memcpy(&a, interleaved + 2 * static_cast<std::ptrdiff_t>(j), sizeof a);
    std::memcpy(&b, interleaved + 2 * static_cast<std::ptrdiff_t>(j) + kFrames, sizeof b);
    const SampleLanes l = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const SampleLanes r = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    std::memcpy(left + j, &l, sizeof l);
    std::memcpy(right + j, &r, sizeof r);
  }
  for (; j < end; ++j) {
    left[j] = interleaved[2 * static_cast<std::ptrdiff_t>(j)];
    right[j] = interleaved[2 * static_cast<std::ptrdiff_t>(j) + 1];
  }
}

ChannelSources SourcesOf(const SoundStore& sound) {
  // More channels would be stored as two over frames counted for two.
  BLOCK_REQUIRE(sound.GetChannels() <= kMaxRhythmChannels, "a sound of one or two channels");
  ChannelSources sources;
  sources.channels = sound.GetChannels();
  sources.frames = sound.GetFrames();
  const std::int16_t* interleaved = sound.GetSamples(0);
  sources.source[0] = interleaved;
  if (sources.channels == 1) return sources;
  const std::size_t frames = static_cast<std::size_t>(sources.frames);
  sources.apart = MakeLargeArray<std::int16_t>(2 * frames);
  std::int16_t* const left = sources.apart.get();
  std::int16_t* const right = left + frames;
  sources.source[0] = left;
  sources.source[1] = right;
  RunInParts(sources.frames, DefaultRhythmThreads(), kMemoryPassPerThread,
             [&](int first, int end) { TakeApart(interleaved, first, end, left, right); });
  return sources;
}

// The sources' samples interleaved again, as the sound held them.
LargeArray<std::int16_t> Interleaved(const ChannelSources& sources) {
  const int channels = sources.channels;
  LargeArray<std::int16_t> interleaved =
      MakeLargeArray<std::int16_t>(static_cast<std::size_t>(sources.frames) * channels);
  for (int c = 0; c < channels; ++c)
    for (int j = 0; j < sources.frames; ++j)
      interleaved[static_cast<std::size_t>(j) * channels + c] = sources.source[c][j];
  return interleaved;
}

// The memory of a stereo sound's interleaved samples, which is just large
// enough, as one channel's output values in their place.
LargeArray<float> FloatsInPlaceOf(LargeArray<std::int16_t> interleaved, std::size_t frames) {
  static_assert(2 * sizeof(std::int16_t) == sizeof(float));
  void* memory = interleaved.release();
  return LargeArray<float>(::new (memory) float[frames]);
}

}  // namespace

LargeArray<float> RhythmizedFloats(const SoundStore& sound, const RhythmParameters& parameters,
                                   const Block* modulator, RhythmEnvelope envelope, RandomGenerator& random,
                                   Progress* progress, std::vector<PeriodRecord>* periods) {
  ChannelTotals totals[kMaxRhythmChannels];
  const ChannelSources sources = SourcesOf(sound);
  const int channels = sources.channels;
  const int N = sources.frames;
  LargeArray<float> buffer = MakeLargeArray<float>(static_cast<std::size_t>(N) * channels);
  float* out[kMaxRhythmChannels] = {};
  for (int c = 0; c < channels; ++c) out[c] = buffer.get() + static_cast<std::size_t>(N) * c;
  RhythmizeChannels(sources.source, channels, N, sound.GetSampleRate(), parameters, modulator, envelope, random,
                    progress, out, totals, periods);
  bool finite = true;
  for (int c = 0; c < channels; ++c) {
    const double mean = totals[c].sum / N;
    float* values = buffer.get() + static_cast<std::size_t>(N) * c;
    for (int k = 0; k < N; ++k) {
      values[k] = CentredValue(values[k], mean);
      finite &= std::isfinite(values[k]);
    }
  }
  if (!finite) return nullptr;
  return buffer;
}

RhythmOutcome RhythmizeSound(SoundStore& sound, const RhythmParameters& parameters,
                             const Block* modulator, RhythmEnvelope envelope, RandomGenerator& random,
                             Progress* progress, std::vector<PeriodRecord>* periods) {
  ChannelTotals totals[kMaxRhythmChannels];
  ChannelSources sources = SourcesOf(sound);
  const int channels = sources.channels;
  const int N = sources.frames;
  const int length = sound.GetLength();
  // Taken apart, a stereo sound's interleaved samples are not read again:
  // their memory, touched already, takes the second channel's output values
  // instead of fresh pages, which the system clears first. The channels bring
  // the samples back should the rhythm fail.
  const bool givenBack = sources.apart != nullptr;
  const std::size_t frames = static_cast<std::size_t>(N);
  LargeArray<float> first = MakeLargeArray<float>(frames);
  LargeArray<float> second = givenBack ? FloatsInPlaceOf(sound.ReleaseSamples(), frames) : nullptr;
  float* const out[kMaxRhythmChannels] = {first.get(), second.get()};
  RhythmizeChannels(sources.source, channels, N, sound.GetSampleRate(), parameters, modulator, envelope, random,
                    progress, out, totals, periods);
  // Removing the mean and rounding never changes the order of two values, so
  // the centred values' extremes are those of the extremes: their peak and
  // whether they are all finite are known without a pass over them.
  double means[kMaxRhythmChannels] = {};
  float greatest = 0;
  float least = 0;
  for (int c = 0; c < channels && N > 0; ++c) {
    means[c] = totals[c].sum / N;
    const float low = CentredValue(totals[c].least, means[c]);
    const float high = CentredValue(totals[c].greatest, means[c]);
    if (!std::isfinite(low) || !std::isfinite(high)) {
      if (givenBack) sound.TakeSamples(Interleaved(sources), length);
      return RhythmOutcome::Overflow;
    }
    greatest = std::max(greatest, high);
    least = std::min(least, low);
  }
  // The channels taken apart are not read again either: the stored samples
  // take their memory, which is just the right size. Values without a peak
  // store nothing, and the sound keeps its samples, which the channels bring
  // back.
  const float peak = std::max(greatest, std::fabs(least));
  if (givenBack) sound.TakeSamples(peak == 0 ? Interleaved(sources) : std::move(sources.apart), length);
  sound.SetFromCentredChannels(out, means, channels, peak, sound.GetSampleRate(), DefaultRhythmThreads());
  return RhythmOutcome::Stored;
}

bool UsesModulator(int type) { return type == mtFrequency || type == mtAmpFreq; }

RhythmCheck CheckRhythm(const SoundStore* sound, double period, int type, int* modulatorLength,
                        std::uint64_t* tooMany) {
  // A rate of 0 gives no time.
  if (sound == nullptr || sound->GetLength() <= 0 || sound->GetSampleRate() <= 0) return RhythmCheck::NoSource;
  // An infinite period would hold the first period's level for ever.
  if (!(period > 0 && std::isfinite(period))) return RhythmCheck::WrongPeriod;
  const auto N = static_cast<std::uint64_t>(sound->GetLength());
  auto refuse = [tooMany](std::uint64_t count) {
    if (tooMany) *tooMany = count;
    return RhythmCheck::TooLarge;
  };
  // The output buffer; the ring of chunks is small beside it.
  if (!FitsInMemory(N, sizeof(float))) return refuse(N);
  if (!UsesModulator(type)) return RhythmCheck::Ready;
  // The modulator's length comes from the period and the rate a file claims:
  // it must fit in a block (and with the output buffer, in memory) before the
  // dialog is asked.
  const double length = period * sound->GetSampleRate();
  if (length >= 0x1p64) return refuse(UINT64_MAX);
  const auto count = static_cast<std::uint64_t>(length);
  if (count > INT_MAX || !FitsInMemory(count + N / 2, sizeof(double))) return refuse(count);
  const int Np = static_cast<int>(count);
  if (modulatorLength) *modulatorLength = Np;
  return Np == 0 ? RhythmCheck::NoModulator : RhythmCheck::Ready;
}

std::optional<RhythmParameters> MakeRhythmParameters(const RhythmFields& fields, int fs) {
  RhythmParameters parameters;
  parameters.period = fields.period;
  parameters.timeDeviation = fields.timeDeviation * 0.01;
  parameters.magnDeviation = fields.magnDeviation * 0.01;
  parameters.maxDelay = fields.maxDelay * 0.001 * fs;
  parameters.type = fields.type;
  if (!(std::isfinite(parameters.timeDeviation) && std::isfinite(parameters.magnDeviation) &&
        std::isfinite(parameters.maxDelay))) {
    return std::nullopt;
  }
  return parameters;
}
