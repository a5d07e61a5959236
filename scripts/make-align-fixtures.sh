#!/usr/bin/env bash
# Regenerates the short narrations in tests/fixtures/align with Debian tools (espeak-ng, sox,
# lame). Each NAME.mp3 has NAME.txt (its lines) and NAME.truth (per line: start and end of its
# speech in seconds of the recording before encoding). The voices and speeds differ from what the
# aligner synthesizes, and a little noise lies under everything.
# Usage: scripts/make-align-fixtures.sh   (needs: apt-get install espeak-ng sox lame bc)
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/fixtures/align
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for tool in espeak-ng sox lame bc iconv; do
  command -v "$tool" >/dev/null || { echo "make-align-fixtures: $tool is missing" >&2; exit 1; }
done

# speak VOICE SPEED PITCH TEXT OUT.wav: mono 22050 Hz, silence at both ends cut off.
speak() {
  espeak-ng -v "$1" -s "$2" -p "$3" -w "$tmp/raw.wav" "$4"
  sox "$tmp/raw.wav" -r 22050 -c 1 -b 16 "$5" silence 1 0.005 0.3% reverse silence 1 0.005 0.3% reverse
}

# narrate NAME VOICE SPEED PITCH LEAD.wav|- LINE...: the lines with pauses of 0.5 to 0.9 s,
# after LEAD when given.
narrate() {
  local name=$1 voice=$2 speed=$3 pitch=$4 lead=$5
  shift 5
  local parts=() t=0 n=0 pauses=(0.6 0.5 0.9 0.7 0.8)
  : >"$out/$name.truth"
  if [[ "$lead" != - ]]; then
    parts+=("$lead")
    t=$(soxi -D "$lead")
  fi
  for line in "$@"; do
    local pause=${pauses[$((n % 5))]}
    sox -n -r 22050 -c 1 -b 16 "$tmp/pause$n.wav" trim 0 "$pause"
    speak "$voice" "$speed" "$pitch" "$line" "$tmp/line$n.wav"
    local d
    d=$(soxi -D "$tmp/line$n.wav")
    printf '%.4f\t%.4f\n' "$(echo "$t + $pause" | bc -l)" "$(echo "$t + $pause + $d" | bc -l)" >>"$out/$name.truth"
    t=$(echo "$t + $pause + $d" | bc -l)
    parts+=("$tmp/pause$n.wav" "$tmp/line$n.wav")
    n=$((n + 1))
  done
  sox -n -r 22050 -c 1 -b 16 "$tmp/tail.wav" trim 0 0.8
  sox "${parts[@]}" "$tmp/tail.wav" "$tmp/clean.wav"
  sox -n -r 22050 -c 1 -b 16 "$tmp/noise.wav" synth "$(soxi -D "$tmp/clean.wav")" pinknoise vol -42dB
  sox -m "$tmp/clean.wav" "$tmp/noise.wav" "$tmp/mixed.wav"
  lame --quiet -t -m m -b 32 "$tmp/mixed.wav" "$out/$name.mp3"
}

en=("The farmer walks to the market in the morning."
  "His daughter carries a basket of apples."
  "They come home before the rain begins.")
narrate three en-us+f3 150 60 - "${en[@]}"
printf '%s\r\n' "${en[@]}" >"$out/three.txt"

# An intro: a jingle and a spoken title that no line holds.
sox -n -r 22050 -c 1 -b 16 "$tmp/jingle.wav" synth 0.5 sine 523 : synth 0.5 sine 659 : synth 0.7 sine 784 vol 0.3
speak en-gb 160 40 "Lesson four. At the market." "$tmp/title.wav"
sox -n -r 22050 -c 1 -b 16 "$tmp/gap.wav" trim 0 0.8
sox "$tmp/jingle.wav" "$tmp/gap.wav" "$tmp/title.wav" "$tmp/intro.wav"
narrate intro en-gb 160 40 "$tmp/intro.wav" "${en[@]}"
printf '%s\r\n' "${en[@]}" >"$out/intro.txt"

ru=("Мальчик идёт к реке со своей собакой."
  "Собака прыгает в воду и приносит палку."
  "Вечером они вместе возвращаются домой.")
narrate russian ru 155 45 - "${ru[@]}"
printf '%s\r\n' "${ru[@]}" | iconv -f UTF-8 -t WINDOWS-1251 >"$out/russian.txt"
ls -l "$out"
