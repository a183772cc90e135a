#!/usr/bin/env bash
# bench/rhythm_vs_sox.sh [BUILD_DIR] [ROUNDS]
#
# Times kadenzo's rhythm as a whole process (kadenzo-render: load a
# ten-minute 44.1 kHz noise WAV, rhythm, save) next to sox doing the same read,
# process and write: "flanger" for the four types that read the source through
# the 25-point interpolation, "tremolo 2 60" for Amplitude and Distortion.
# Each round runs hyperfine on the pair, the two commands alternating from
# round to round; the ratio printed is sox's mean time over ours, the median
# over the rounds. Ours also runs held to one processor (taskset -c 0, so the
# rhythm uses one thread) in the same rounds. Then the peak memory of making ten minutes of noise and
# giving it a rhythm, against the same program on one second; and what a
# stereo sound costs next to a mono one of the same length, per type: a stereo
# file as one stereo sound ("--channel both") against a mono file of its first
# channel, in rounds as above; beside the wall-clock ratio, that of the user
# time, which leaves out what the system spends clearing fresh pages and
# writing the file (both scale with the channels).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
rounds=${2:-3}
program=$build/cli/kadenzo-render
[ -x "$program" ] || cmake --build "$build" --target kadenzo-render
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

sox -D -n -r 44100 -b 16 -c 1 "$scratch/noise.wav" synth 600 whitenoise vol 0.5
names=(Amplitude Detonation Amp+Det Distortion Frequency Amp+Freq)

# Column $3 of the command's row in hyperfine's CSV export: 2 the mean
# seconds, 5 the mean user seconds.
column_of() { awk -F, -v cmd="$2" -v column="$3" 'NR > 1 && $1 == cmd { print $column }' "$1"; }
mean_of() { column_of "$1" "$2" 2; }
user_of() { column_of "$1" "$2" 5; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "type          ours (s)  sox (s)  sox effect       ratio  goal   1 core (s)  ratio"
for type in 0 1 2 3 4 5; do
  case $type in
    0 | 3) effect="tremolo 2 60" goal=5 ;;
    *) effect="flanger" goal=3 ;;
  esac
  ours="$program -q --seed 1 -t $type -i $scratch/noise.wav -o $scratch/ours.wav"
  oneCore="taskset -c 0 $ours"
  theirs="sox $scratch/noise.wav $scratch/sox.wav $effect"
  ratios=()
  oneCoreRatios=()
  oursTimes=()
  oneCoreTimes=()
  soxTimes=()
  for round in $(seq "$rounds"); do
    if (( round % 2 )); then trio=("$ours" "$theirs" "$oneCore"); else trio=("$theirs" "$oneCore" "$ours"); fi
    hyperfine -N --style none --warmup 1 --runs 3 --export-csv "$scratch/times.csv" "${trio[@]}" >/dev/null 2>&1
    o=$(mean_of "$scratch/times.csv" "$ours")
    c=$(mean_of "$scratch/times.csv" "$oneCore")
    s=$(mean_of "$scratch/times.csv" "$theirs")
    oursTimes+=("$o")
    oneCoreTimes+=("$c")
    soxTimes+=("$s")
    ratios+=("$(ratio "$s" "$o")")
    oneCoreRatios+=("$(ratio "$s" "$c")")
  done
  printf '%-13s %8.3f %8.3f  %-15s %6.2f  >= %s %11.3f %6.2f\n' "$type ${names[$type]}" \
    "$(median "${oursTimes[@]}")" "$(median "${soxTimes[@]}")" "$effect" "$(median "${ratios[@]}")" "$goal" \
    "$(median "${oneCoreTimes[@]}")" "$(median "${oneCoreRatios[@]}")"
done

echo
echo "peak memory (/usr/bin/time -v), making noise and giving it an Amp+Det rhythm:"
peak_kb() {
  /usr/bin/time -v "$program" -q --seed 1 --create --duration "$1" -o "$scratch/made.wav" 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident set size/ { print $2 }'
}
short=$(peak_kb 1)
long=$(peak_kb 600)
awk -v s="$short" -v l="$long" 'BEGIN {
  samples = (600 - 1) * 44100
  printf "1 s: %d kB, 600 s: %d kB, %.2f bytes per sample above the 1-second run\n", s, l, (l - s) * 1024 / samples
}'

echo
echo "stereo against mono, ten minutes each:"
sox -D -n -r 44100 -b 16 -c 2 "$scratch/stereo.wav" synth 600 whitenoise vol 0.5
sox -D "$scratch/stereo.wav" "$scratch/mono.wav" remix 1
echo "type          mono (s)  stereo (s)  stereo / mono  user time stereo / mono"
for type in 0 1 2 3 4 5; do
  common="$program -q --seed 1 -t $type"
  mono="$common -i $scratch/mono.wav -o $scratch/mono-out.wav"
  stereo="$common -i $scratch/stereo.wav --channel both -o $scratch/stereo-out.wav"
  monoTimes=()
  stereoTimes=()
  ratios=()
  userRatios=()
  for round in $(seq "$rounds"); do
    if (( round % 2 )); then pair=("$mono" "$stereo"); else pair=("$stereo" "$mono"); fi
    hyperfine -N --style none --warmup 1 --runs 3 --export-csv "$scratch/times.csv" "${pair[@]}" >/dev/null 2>&1
    m=$(mean_of "$scratch/times.csv" "$mono")
    s=$(mean_of "$scratch/times.csv" "$stereo")
    monoTimes+=("$m")
    stereoTimes+=("$s")
    ratios+=("$(ratio "$s" "$m")")
    userRatios+=("$(ratio "$(user_of "$scratch/times.csv" "$stereo")" "$(user_of "$scratch/times.csv" "$mono")")")
  done
  printf '%-13s %8.3f %11.3f %14.2f %24.2f\n' "$type ${names[$type]}" \
    "$(median "${monoTimes[@]}")" "$(median "${stereoTimes[@]}")" "$(median "${ratios[@]}")" "$(median "${userRatios[@]}")"
done
