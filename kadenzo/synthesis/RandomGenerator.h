#pragma once
// The one pseudo-random generator of kadenzo: uniform 31-bit integers. Every
// run of "&Create" and "&Rhythm" draws from one 64-bit seed, by default the
// time in whole seconds; every source generation within a run starts again
// from the run's seed. The clock can be replaced, so that with a fixed clock a
// run is reproducible bit for bit.

#include <cstdint>
#include <functional>
#include <utility>

class RandomGenerator {
 public:
  // The time in whole seconds.
  using Clock = std::function<std::int64_t()>;

  // Seconds since the epoch from the system clock.
  static std::int64_t SystemSeconds();
  // The same as a seed.
  static std::uint64_t ClockSeconds() { return static_cast<std::uint64_t>(SystemSeconds()); }

  explicit RandomGenerator(Clock clock = SystemSeconds) : m_clock(std::move(clock)) {
    SeedFromClock();
  }

  // The seed of a run that keeps none: the clock's time in whole seconds.
  std::uint64_t ClockSeed() const { return static_cast<std::uint64_t>(m_clock()); }
  void SeedFromClock() { Seed(ClockSeed()); }
  void Seed(std::uint64_t seed) {
    m_iSeed = seed;
    m_state = seed;
  }
  // The draws start again from the last seed.
  void Restart() { m_state = m_iSeed; }
  std::uint64_t GetSeed() const { return m_iSeed; }

  // Uniform in 0 .. 2^31 - 1 (SplitMix64, top 31 bits).
  std::int32_t Next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return static_cast<std::int32_t>((z ^ (z >> 31)) >> 33);
  }

  // The draws of the generator and the engine: Next() mod 32763, 0 .. 32762.
  int Next32763() { return Next() % 32763; }

  // Next32763() / 32763: one of the 32763 values k / 32763 in [0, 1).
  double Uniform() { return Next32763() * (1.0 / 32763); }

 private:
  Clock m_clock;
  std::uint64_t m_iSeed = 0;
  std::uint64_t m_state = 0;
};
