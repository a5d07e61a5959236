#!/usr/bin/env bash
# Builds the Debian package sorvelle_VERSION_ARCH.deb from a Release build without sanitizers
# (the test build's sanitizers must not reach users). Usage: scripts/package.sh [BUILD_DIR]
# BUILD_DIR defaults to build/package; the package is written there and its path printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh packages-build.txt packages-package.txt
build=${1:-build/package}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSORVELLE_SANITIZE=OFF -DSORVELLE_TESTS=OFF \
  -DSORVELLE_BENCH=OFF -DSORVELLE_FUZZ=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/sorvelle_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$(realpath "$build")"/sorvelle_*.deb
