#!/usr/bin/env bash
# Makes the input of bench/AlignBench.cpp under build/bench/align (large; never committed):
# a 50-minute eSpeak NG narration of 480 lines, and smaller narrations by other synthesizers.
# Usage: scripts/make-align-bench.sh [espeak] [other-en] [other-ru]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh packages-bench.txt
python3 scripts/make-align-bench.py build/bench/align "$@"
