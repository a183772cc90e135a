// ForwardFFT and InverseFFT next to FFTW's real transforms (planned with
// FFTW_ESTIMATE) of the same size, in one program so that both see the same
// machine. Every iteration of either side starts by copying its input
// into place, since both transforms overwrite it.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <complex>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Block.h"

namespace {

std::vector<double> RandomValues(int n) {
  std::mt19937_64 engine(42);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> values(static_cast<std::size_t>(n));
  for (double& v : values) v = uniform(engine);
  return values;
}

// Times one transform of a block that is refilled with `input` before every run.
void TimeTransform(benchmark::State& state, const std::vector<double>& input, Block& (Block::*transform)()) {
  const int n = static_cast<int>(input.size());
  Block block(n);
  for (auto _ : state) {
    std::copy(input.begin(), input.end(), block.GetData());
    (block.*transform)();
    benchmark::DoNotOptimize(block.GetData());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void ForwardFFT(benchmark::State& state) {
  TimeTransform(state, RandomValues(static_cast<int>(state.range(0))), &Block::ForwardFFT);
}

void InverseFFT(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Block spectrum(n);
  const std::vector<double> values = RandomValues(n);
  std::copy(values.begin(), values.end(), spectrum.GetData());
  spectrum.ForwardFFT();
  TimeTransform(state, std::vector<double>(spectrum.GetData(), spectrum.GetData() + n), &Block::InverseFFT);
}

void FftwForward(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> input = RandomValues(n);
  double* in = fftw_alloc_real(static_cast<std::size_t>(n));
  fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
  for (auto _ : state) {
    std::copy(input.begin(), input.end(), in);
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
  fftw_destroy_plan(plan);
  fftw_free(out);
  fftw_free(in);
}

void FftwInverse(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<double> values = RandomValues(n);
  std::vector<std::complex<double>> input(static_cast<std::size_t>(n / 2 + 1));
  for (std::size_t k = 0; k < input.size(); ++k) input[k] = {values[k], values[n - 1 - k]};
  fftw_complex* in = fftw_alloc_complex(input.size());
  double* out = fftw_alloc_real(static_cast<std::size_t>(n));
  // c2r overwrites its input, which is why every iteration copies it afresh.
  fftw_plan plan = fftw_plan_dft_c2r_1d(n, in, out, FFTW_ESTIMATE);
  for (auto _ : state) {
    std::copy(input.begin(), input.end(), reinterpret_cast<std::complex<double>*>(in));
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
  fftw_destroy_plan(plan);
  fftw_free(out);
  fftw_free(in);
}

BENCHMARK(ForwardFFT)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 18)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(FftwForward)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 18)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(InverseFFT)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 18)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(FftwInverse)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 18)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The console report, plus the fastest wall time of every benchmark for the
// ratios: wall time, as a large inverse transform runs on two threads (held to
// one processor by taskset it runs on one). Run on a quiet machine.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  RecordingReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const std::string name = run.benchmark_name();
      const double time = run.GetAdjustedRealTime();
      const auto found = m_fastest.find(name);
      if (found == m_fastest.end() || time < found->second) m_fastest[name] = time;
    }
  }

  void PrintRatio(const std::string& ours, const std::string& theirs) const {
    const auto a = m_fastest.find(ours), b = m_fastest.find(theirs);
    if (a == m_fastest.end() || b == m_fastest.end()) return;
    std::printf("%-22s / %-22s = %5.2f\n", ours.c_str(), theirs.c_str(), a->second / b->second);
  }

 private:
  std::map<std::string, double> m_fastest;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\nWall time of the block transform over FFTW's (lower is better):\n");
  constexpr const char* kRealTime = "/real_time";
  for (const char* size : {"1024", "65536", "262144", "1048576"}) {
    reporter.PrintRatio(std::string("ForwardFFT/") + size + kRealTime, std::string("FftwForward/") + size + kRealTime);
    reporter.PrintRatio(std::string("InverseFFT/") + size + kRealTime, std::string("FftwInverse/") + size + kRealTime);
  }
  return 0;
}
