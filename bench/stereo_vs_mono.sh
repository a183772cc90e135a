#!/usr/bin/env bash
# bench/stereo_vs_mono.sh [BUILD_DIR] [ROUNDS]
#
# What a stereo sound costs next to a mono one of the same length, as a whole
# process (kadenzo-render: load a ten-minute 44.1 kHz noise WAV, rhythm, save),
# for each modulation type: a stereo file as one stereo sound ("--channel
# both") against a mono file of its first channel. Each round runs
# hyperfine on the pair, the order alternating from round to round; printed are
# the medians over the rounds of the mean times and of their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
rounds=${2:-3}
program=$build/cli/kadenzo-render
[ -x "$program" ] || cmake --build "$build" --target kadenzo-render
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

sox -D -n -r 44100 -b 16 -c 2 "$scratch/stereo.wav" synth 600 whitenoise vol 0.5
sox -D "$scratch/stereo.wav" "$scratch/mono.wav" remix 1
names=(Amplitude Detonation Amp+Det Distortion Frequency Amp+Freq)
mean_of() { awk -F, -v cmd="$2" 'NR > 1 && $1 == cmd { print $2 }' "$1"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "type          mono (s)  stereo (s)  stereo / mono"
for type in 0 1 2 3 4 5; do
  common="$program -q --seed 1 -t $type"
  mono="$common -i $scratch/mono.wav -o $scratch/mono-out.wav"
  stereo="$common -i $scratch/stereo.wav --channel both -o $scratch/stereo-out.wav"
  monoTimes=()
  stereoTimes=()
  ratios=()
  for round in $(seq "$rounds"); do
    if (( round % 2 )); then pair=("$mono" "$stereo"); else pair=("$stereo" "$mono"); fi
    hyperfine -N --style none --warmup 1 --runs 3 --export-csv "$scratch/times.csv" "${pair[@]}" >/dev/null 2>&1
    m=$(mean_of "$scratch/times.csv" "$mono")
    s=$(mean_of "$scratch/times.csv" "$stereo")
    monoTimes+=("$m")
    stereoTimes+=("$s")
    ratios+=("$(awk -v m="$m" -v s="$s" 'BEGIN { printf "%.3f", s / m }')")
  done
  printf '%-13s %8.3f %11.3f %14.2f\n' "$type ${names[$type]}" \
    "$(median "${monoTimes[@]}")" "$(median "${stereoTimes[@]}")" "$(median "${ratios[@]}")"
done
