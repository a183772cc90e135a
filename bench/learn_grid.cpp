// learn_grid [--seed N] [--periods K] [CASE...]: the rhythm learning's round trip over a
// wide grid of the engine's renders: white and band noise, four envelope
// shapes (the window's "Test" curve among them), P 0.1 to 2 s, deviations 0
// to 20 % and the types Amplitude, Amp+Det, Distortion and Amp+Freq, at least
// 30 s and 300 periods each. One row per case, then how many meet each bar: P
// within 1 %, both deviations within 3 percentage points, envelope
// correlation at least 0.95. Next to each case's settings, the spread its
// drawn lengths and magnitudes actually have, and their mean length (the sound
// can show no more than these). With case numbers, only those cases. Case n
// renders from seed N + n, N 1000 unless --seed gives it: the counts move by
// a few from one set of seeds to the next. --periods K renders K periods
// (300 unless told), at least 30 s: where the level noise is large (band
// noise, short periods) the spread of the measured magnitudes' variance
// falls with the square root of the periods, a bias of the method does not.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "EngineRender.h"
#include "LearnRhythm.h"
#include "RhythmEngine.h"
#include "RoundTripShapes.h"

namespace {

struct Case {
  RenderSource source;
  Shape shape;
  double period;
  double timeDeviation, magnitudeDeviation;
  int type;
};

const char* TypeName(int type) {
  switch (type) {
    case mtAmplitude: return "Amplitude";
    case mtAmpDet: return "Amp+Det";
    case mtDistortion: return "Distortion";
    case mtAmpFreq: return "Amp+Freq";
    default: return "?";
  }
}

const char* ShapeName(Shape shape) {
  switch (shape) {
    case Shape::SinglePeak: return "single";
    case Shape::TwoPeaks: return "two";
    case Shape::Swell: return "swell";
    case Shape::TestCurve: return "test";
  }
  return "?";
}

// 2 sources x 4 shapes x 4 periods, each with three deviation pairs (none,
// one mixed, both high) and the types in turn, so that every source and
// shape meets every type at every level of deviation.
std::vector<Case> Grid() {
  const RenderSource sources[] = {RenderSource::WhiteNoise, RenderSource::BandNoise};
  const Shape shapes[] = {Shape::SinglePeak, Shape::TwoPeaks, Shape::Swell, Shape::TestCurve};
  const double periods[] = {0.1, 0.3, 1.0, 2.0};
  const int types[] = {mtAmplitude, mtAmpDet, mtDistortion, mtAmpFreq};
  std::vector<Case> grid;
  int combination = 0;
  for (RenderSource source : sources)
    for (Shape shape : shapes)
      for (double period : periods) {
        const bool odd = combination % 2 == 1;
        const double deviations[3][2] = {{0, 0}, {odd ? 20.0 : 10.0, odd ? 10.0 : 20.0}, {odd ? 10.0 : 20.0, odd ? 10.0 : 20.0}};
        for (int level = 0; level < 3; ++level)
          grid.push_back({source, shape, period, deviations[level][0], deviations[level][1], types[(combination + level) % 4]});
        ++combination;
      }
  return grid;
}

double Mean(const std::vector<double>& values) {
  double sum = 0.0;
  for (double v : values) sum += v;
  return sum / static_cast<double>(values.size());
}

// The percent deviation of a uniform draw that spreads as these values do
// around their nominal value.
double DrawnDeviation(const std::vector<double>& values, double nominal) {
  double sum = 0.0, squares = 0.0;
  for (double v : values) sum += v, squares += v * v;
  const double n = static_cast<double>(values.size());
  const double variance = (squares - sum * sum / n) / (n - 1.0);
  return 100.0 * std::sqrt(12.0 * std::max(0.0, variance)) / nominal;
}

}  // namespace

int main(int argc, char** argv) {
  std::set<int> only;
  std::uint64_t seeds = 1000;
  double periodCount = 300.0;
  for (int a = 1; a < argc; ++a) {
    if (std::string(argv[a]) == "--seed" && a + 1 < argc)
      seeds = std::strtoull(argv[++a], nullptr, 10);
    else if (std::string(argv[a]) == "--periods" && a + 1 < argc)
      periodCount = std::max(10.0, std::strtod(argv[++a], nullptr));
    else
      only.insert(std::atoi(argv[a]));
  }
  const std::vector<Case> grid = Grid();
  int cases = 0, periodOk = 0, timeOk = 0, magnitudeOk = 0, shapeOk = 0, allOk = 0;
  std::printf("%4s %-5s %-6s %4s %3s %3s %-10s %4s %8s %5s %5s | %8s %6s %6s %6s %5s\n", "case", "src", "shape", "P", "td", "md",
              "type", "s", "drawn P", "td", "md", "P", "td", "md", "corr", "conf");
  for (std::size_t n = 0; n < grid.size(); ++n) {
    if (!only.empty() && only.count(static_cast<int>(n)) == 0) continue;
    const Case& c = grid[n];
    const double seconds = std::max(30.0, periodCount * c.period);
    const std::vector<double> truth = EnvelopeOf(c.shape);
    std::vector<PeriodRecord> periods;
    const std::vector<std::int16_t> sound = RenderRhythm(c.source, truth, c.period, c.timeDeviation,
                                                         c.magnitudeDeviation, c.type, seconds, seeds + n, &periods);
    std::vector<double> lengths, magnitudes;
    for (std::size_t k = 0; k + 1 < periods.size(); ++k)
      lengths.push_back(static_cast<double>(periods[k].length)), magnitudes.push_back(periods[k].magnitude);
    const LearnedRhythm learned = LearnRhythm(sound.data(), static_cast<std::int64_t>(sound.size()), kRenderRate);
    const double correlation = EnvelopeCorrelation(truth, learned.envelope);
    const bool p = std::fabs(learned.period - c.period) <= 0.01 * c.period;
    const bool td = std::fabs(learned.timeDeviation - c.timeDeviation) <= 3.0;
    const bool md = std::fabs(learned.magnitudeDeviation - c.magnitudeDeviation) <= 3.0;
    const bool shape = correlation >= 0.95;
    ++cases, periodOk += p, timeOk += td, magnitudeOk += md, shapeOk += shape, allOk += p && td && md && shape;
    std::printf("%4zu %-5s %-6s %4.1f %3.0f %3.0f %-10s %4.0f %8.4f %5.1f %5.1f | %7.4f%c %5.1f%c %5.1f%c %6.3f%c %5.2f\n", n,
                c.source == RenderSource::WhiteNoise ? "white" : "band", ShapeName(c.shape), c.period,
                c.timeDeviation, c.magnitudeDeviation, TypeName(c.type), seconds,
                Mean(lengths) / kRenderRate, DrawnDeviation(lengths, c.period * kRenderRate), DrawnDeviation(magnitudes, 1.0), learned.period, p ? ' ' : '!',
                learned.timeDeviation, td ? ' ' : '!', learned.magnitudeDeviation, md ? ' ' : '!', correlation,
                shape ? ' ' : '!', learned.confidence);
    std::fflush(stdout);
  }
  std::printf("of %d cases: P %d, td %d, md %d, envelope %d, all bars %d\n", cases, periodOk, timeOk, magnitudeOk,
              shapeOk, allOk);
  return 0;
}
