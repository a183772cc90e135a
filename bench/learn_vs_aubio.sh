#!/bin/sh
# Periods learned from sox tremolo files next to aubio's tempo estimate
# (60 / bpm) on the same files. Prints a table and how often ours is closer.
# Usage: bench/learn_vs_aubio.sh [BUILD_DIR]   (needs sox, aubio and learn_raw)
set -eu
build=${1:-build}
learn="$build/bench/learn_raw"
[ -x "$learn" ] || { echo "build the learn_raw target first" >&2; exit 2; }
command -v sox >/dev/null && command -v aubio >/dev/null || { echo "needs sox and aubio" >&2; exit 2; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

printf '%-34s %9s %9s %9s\n' file "true P" ours aubio
total=0
closer=0
for synth in pinknoise whitenoise brownnoise "sine 440" "square 220"; do
  for tremolo in "3 80" "1.5 60" "0.7 90" "7 50" "2 70" "5 40" "1 100" "11 60"; do
    set -- $tremolo
    name=$(echo "${synth}_tremolo_$1_$2" | tr ' ' '_')
    sox -n -r 44100 -b 16 -c 1 "$dir/$name.wav" synth 30 $synth tremolo "$1" "$2"
    sox "$dir/$name.wav" -t raw -e signed -b 16 -c 1 "$dir/$name.raw"
    truth=$(echo "$1" | awk '{ printf "%.6f", 1 / $1 }')
    ours=$("$learn" "$dir/$name.raw" 44100 | cut -d' ' -f1)
    bpm=$(aubio tempo "$dir/$name.wav" 2>/dev/null | awk '/bpm/ { print $1 }' | tail -n 1)
    theirs=$(echo "${bpm:-0}" | awk '{ if ($1 > 0) printf "%.6f", 60 / $1; else print "none" }')
    printf '%-34s %9s %9s %9s\n' "$name" "$truth" "$ours" "$theirs"
    total=$((total + 1))
    if echo "$truth $ours $theirs" | awk '{ d = $2 - $1; if (d < 0) d = -d;
        if ($3 == "none") exit 0; e = $3 - $1; if (e < 0) e = -e; exit !(d < e) }'; then
      closer=$((closer + 1))
    fi
  done
done
echo "ours closer to the truth on $closer of $total files"
