#!/usr/bin/env bash
# Installs what the benchmark needs (the build's packages and the peer equalisers), builds the
# benchmark and the VST3, and runs it: the speed table (also as CSV), then memory per instance.
# Usage: scripts/benchmark.sh [olvar-benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/.."

# The peers it measures against, hosted as LV2, come with the build's packages.
scripts/install-deps.sh x42-plugins lsp-plugins-lv2

scripts/build.sh --target olvar-benchmark

build_dir=${OLVAR_BUILD_DIR:-build}
mkdir -p "$build_dir/benchmark"

run=()
if [ -z "${DISPLAY:-}" ]; then
    run=(xvfb-run -a -s "-screen 0 1280x1024x24")
fi

"$build_dir/benchmarks/olvar-benchmark" --csv "$build_dir/benchmark/olvar-benchmark.csv" "$@"
echo
"${run[@]}" "$build_dir/benchmarks/olvar-benchmark" --memory
