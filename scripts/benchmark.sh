#!/usr/bin/env bash
# Installs what the benchmark needs (the build's packages and the peer equalisers), builds the
# benchmark and the VST3, and runs it: the speed table (also as CSV), then memory per instance.
# Usage: scripts/benchmark.sh [olvar-benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# The peers it measures against, hosted as LV2.
peers=(x42-plugins lsp-plugins-lv2)
missing=()
for package in "${peers[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

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
