#!/usr/bin/env bash
# Makes the input of bench/AlignBench.cpp under build/bench/align (large; never committed):
# a 50-minute eSpeak NG narration of 480 lines, smaller narrations by other synthesizers, and the
# robust family (one small set per condition of voice, tempo, noise, room and encoder).
# Usage: scripts/make-align-bench.sh [espeak] [other-en] [other-ru] [other-hard] [other-short]
#        [robust | robust/CONDITION ...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh packages-bench.txt
python3 scripts/make-align-bench.py build/bench/align "$@"
