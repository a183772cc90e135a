#!/usr/bin/env bash
# bench/wav_vs_sox.sh [BUILD_DIR]: times loading and saving a ten-minute 16-bit
# stereo WAV file with kadenzo's reader and writer (signals_wav_bench) and
# "sox in.wav out.wav" on the same file, in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
bench=$build/bench/signals_wav_bench
[ -x "$bench" ] || cmake --build "$build" --target signals_wav_bench
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

sox -D -n -r 44100 -b 16 -c 2 "$scratch/in.wav" synth 600 whitenoise vol 0.5
echo "== kadenzo reader and writer =="
KIT_BENCH_WAV="$scratch/in.wav" "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
echo "== sox in.wav out.wav (5 runs) =="
for _ in 1 2 3 4 5; do
  start=$(date +%s%N)
  sox -D "$scratch/in.wav" "$scratch/out.wav"
  end=$(date +%s%N)
  echo "sox copy: $(( (end - start) / 1000000 )) ms"
done
