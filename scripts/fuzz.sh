#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) in build/fuzz and runs each for the
# given number of seconds on its seed corpus; fails when any target finds a crash, a sanitizer
# report, a broken invariant, a leak or an input that runs longer than 10 s.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (default 60 seconds, every target)
# Targets: pos_file picture_archive player text_file. Findings are kept in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[[ ${#targets[@]} -eq 0 ]] && targets=(pos_file picture_archive player text_file)

scripts/install-deps.sh packages-build.txt packages-test.txt
build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSORVELLE_SANITIZE=ON -DSORVELLE_FUZZ=ON -DSORVELLE_TESTS=OFF -DSORVELLE_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

# Inputs the fuzzer finds go to a scratch corpus; the committed seeds are only read. The code under
# test syncs its saves to disk: in memory (/dev/shm) that costs nothing.
scratch=${TMPDIR:-/tmp}
[[ -d /dev/shm && -w /dev/shm ]] && scratch=/dev/shm
work=$(mktemp -d "$scratch/sorvelle-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
findings=$build/findings
mkdir -p "$findings"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

declare -A max_len=([pos_file]=16384 [picture_archive]=32768 [player]=40000 [text_file]=4096)
declare -A seeds=([pos_file]="fuzz/corpus/pos_file" [picture_archive]="fuzz/corpus/picture_archive"
  [player]="fuzz/corpus/player tests/fixtures/mp3" [text_file]="fuzz/corpus/text_file")

failed=()
for t in "${targets[@]}"; do
  mkdir -p "$work/$t/corpus" "$work/$t/tmp"
  echo "== fuzz_$t for ${seconds}s"
  # shellcheck disable=SC2086
  if TMPDIR="$work/$t/tmp" "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=3072 -max_len="${max_len[$t]}" -print_final_stats=1 \
      -artifact_prefix="$findings/$t-" "$work/$t/corpus" ${seeds[$t]} >"$work/$t/log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|Done )' "$work/$t/log" || true
  else
    failed+=("$t")
    tail -n 60 "$work/$t/log"
    echo "fuzz_$t: FINDING; input kept in $findings"
  fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "Fuzzing found faults in: ${failed[*]}"
  exit 1
fi
echo "Fuzzing: no findings in ${targets[*]}"
