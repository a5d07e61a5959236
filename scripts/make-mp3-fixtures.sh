#!/usr/bin/env bash
# Regenerates the small MP3 fixtures in tests/fixtures/mp3 with Debian tools (sox, lame, twolame).
# Usage: scripts/make-mp3-fixtures.sh   (needs: apt-get install sox lame twolame)
# Encoder versions may change a few bytes; the tests check properties, not hashes, of these files.
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/fixtures/mp3
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for tool in sox lame twolame; do
  command -v "$tool" >/dev/null || { echo "make-mp3-fixtures: $tool is missing (apt-get install $tool)" >&2; exit 1; }
done

# Sources: deterministic sweeps, so that every frame carries audio.
sox -R -n -r 44100 -c 2 -b 16 "$tmp/stereo44.wav" synth 2 sine 200-2000 sine 300-900 vol 0.5
sox -R -n -r 22050 -c 1 -b 16 "$tmp/mono22.wav" synth 2 sine 200-2000 vol 0.5
sox -R -n -r 8000 -c 1 -b 16 "$tmp/mono8.wav" synth 4 sine 200-1500 vol 0.5
# Loud and busy first, then near-silence: a VBR encoder uses large frames first and small ones after,
# so the stream holds more frames than an estimate taken from its second frame.
sox -R -n -r 44100 -c 2 -b 16 "$tmp/busy.wav" synth 1 square 3000-9000 square 5000-12000 vol 0.4
sox -R -n -r 44100 -c 2 -b 16 "$tmp/quiet.wav" synth 4 sine 100 vol 0.001
sox -R "$tmp/busy.wav" "$tmp/quiet.wav" "$tmp/vbr.wav"
# Noise under a sweep, so that every frame uses its bits: low bit rates then lean on the bit
# reservoir, which reaches back over several frames.
sox -R -n -r 48000 -c 2 -b 16 "$tmp/noisy48.wav" synth 6 pinknoise sine 200-3000 vol 0.4
sox -R -n -r 48000 -c 1 -b 16 "$tmp/noisy48m.wav" synth 6 pinknoise sine 200-3000 vol 0.4
sox -R -n -r 44100 -c 1 -b 16 "$tmp/noisy44m.wav" synth 6 pinknoise sine 200-3000 vol 0.4
sox -R -n -r 24000 -c 2 -b 16 "$tmp/noisy24.wav" synth 6 pinknoise sine 200-3000 vol 0.4

lame --quiet --cbr -b 128 -m j "$tmp/stereo44.wav" "$out/mpeg1-l3-44100-stereo-cbr.mp3"
lame --quiet --cbr -b 64 -m m "$tmp/mono22.wav" "$out/mpeg2-l3-22050-mono.mp3"
lame --quiet --cbr -b 16 -m m "$tmp/mono8.wav" "$out/mpeg25-l3-8000-mono.mp3"
lame --quiet -V 0 -m j "$tmp/vbr.wav" "$out/vbr-xing.mp3"
twolame --quiet -b 128 -m j "$tmp/stereo44.wav" "$out/mpeg1-l2-44100-stereo.mp3"
# The deepest MPEG-1 reservoir: the smallest frames there are (32 kbit/s at 48 kHz).
lame --quiet --cbr -b 32 -m j --resample 48 "$tmp/noisy48.wav" "$out/mpeg1-l3-48000-stereo-32k.mp3"
# Mono, variable bit rate and CRC-protected frames; Layer II mono with CRC.
lame --quiet -V 4 -m m -p "$tmp/noisy44m.wav" "$out/mpeg1-l3-44100-mono-vbr-crc.mp3"
twolame --quiet -b 64 -m m -p "$tmp/noisy48m.wav" "$out/mpeg1-l2-48000-mono-crc.mp3"
# MPEG-2 at 8 kbit/s: 24-byte frames, whose reservoir reaches back 80 frames and more.
lame --quiet --cbr -b 8 -m j --resample 24 "$tmp/noisy24.wav" "$out/mpeg2-l3-24000-stereo-8k.mp3"

cbr="$out/mpeg1-l3-44100-stereo-cbr.mp3"

# An ID3v2.3 tag in front (whose PRIV frame holds one lone frame header, which must not be taken
# for audio), an ID3v1 tag behind.
{
  priv_data='sorvelle\0\377\373\220\144\0\0\0\0'
  # PRIV frame: 4-byte id, 4-byte size (17 bytes of data), 2 flag bytes.
  frame="PRIV\0\0\0\021\0\0${priv_data}"
  # Tag header: "ID3", version 3.0, no flags, sync-safe size 27 (one 27-byte frame).
  printf 'ID3\003\000\000\000\000\000\033'
  printf "$frame"
  cat "$cbr"
  printf 'TAG'
  printf '%-30s' 'Fixture title' | head -c 30
  printf '%-30s' 'Fixture artist' | head -c 30
  printf '%-30s' 'Fixture album' | head -c 30
  printf '2026'
  printf '%-30s' '' | head -c 30
  printf '\377'
} >"$out/id3v2-front-id3v1-back.mp3"

# Stray bytes, with a few sync-like bytes among them, before the first frame.
{
  for i in $(seq 1 40); do printf 'not audio %02d \377\373\220\144' "$i"; done
  printf 'end of junk\n'
  cat "$cbr"
} >"$out/garbage-front.mp3"

# Cut in the middle of a frame.
size=$(stat -c %s "$cbr")
head -c $((size - 150)) "$cbr" >"$out/truncated-mid-frame.mp3"

# Fewer than 4001 bytes: only the first candidate header is tried.
head -c 3900 "$cbr" >"$out/short-under-4001.mp3"

# Text only.
for i in $(seq 1 120); do echo "line $i of a plain text that is not an MP3 recording"; done >"$out/not-audio.mp3"

ls -l "$out"
