#!/usr/bin/env bash
# Regenerates the recordings the playback tests and the latency benchmark start from: two seconds
# of a rising tone with a little noise, CBR, no bit reservoir and no tags, so that copies of a
# file laid end to end form one valid longer stream. Needs ffmpeg with libmp3lame.
# Usage: scripts/make-playback-fixtures.sh
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/fixtures/playback
mkdir -p "$out"
tone='aevalsrc=0.5*sin(2*PI*(220*t+300*t*t))+0.05*sin(2*PI*1500*t)*sin(2*PI*3*t)'
common=(-hide_banner -loglevel error -y -c:a libmp3lame -reservoir 0 -write_xing 0 -id3v2_version 0
        -map_metadata -1 -fflags +bitexact)
ffmpeg -f lavfi -i "$tone:s=44100:d=2:c=stereo" "${common[@]}" -ar 44100 -ac 2 -b:a 128k \
  "$out/tone-44100-stereo-128k.mp3"
ffmpeg -f lavfi -i "$tone:s=22050:d=2:c=mono" "${common[@]}" -ar 22050 -ac 1 -b:a 64k \
  "$out/tone-22050-mono-64k.mp3"
ls -l "$out"
