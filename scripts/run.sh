#!/usr/bin/env bash
# Installs what is missing, builds the editor and sorvelle-cli, and starts the editor on a working
# copy of the demo project. The copy lives in ~/sorvelle-demo; an existing copy is kept, so edits
# survive. sorvelle-cli is then build/release/tools/sorvelle-cli.
# Usage: scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh packages-build.txt
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSORVELLE_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target sorvelle sorvelle-cli
work=${SORVELLE_DEMO_DIR:-$HOME/sorvelle-demo}
if [[ ! -d "$work" ]]; then
  mkdir -p "$work"
  cp -r demo/. "$work/"
fi
binary=$(pwd)/$build/src/app/sorvelle
cd "$work"
exec "$binary"
