#!/usr/bin/env bash
# Installs what is missing, builds everything and starts Strova in the build's
# program folder, where its library and help pages lie (its temporary and
# station-list files go there too).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
cd build/bin
exec ./strova "$@"
