#!/usr/bin/env bash
# Configures and builds the project in Release into build/ (incremental after the first run).
# Usage: scripts/build.sh [cmake --build arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${OLVAR_BUILD_DIR:-build}

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release
fi

cmake --build "$build_dir" -j2 "$@"
