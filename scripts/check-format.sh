#!/usr/bin/env bash
# Fails when a C or C++ file of the repository differs from what clang-format makes of it.
# Usage: scripts/check-format.sh   (scripts/test.sh installs Debian's clang-format)
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "Formatting: every file as clang-format leaves it."
