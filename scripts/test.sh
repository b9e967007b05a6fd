#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# (under a virtual X display when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh

build_dir=${OLVAR_BUILD_DIR:-build}
run=()
if [ -z "${DISPLAY:-}" ]; then
    run=(xvfb-run -a -s "-screen 0 1280x1024x24")
fi

"${run[@]}" ctest --test-dir "$build_dir" --output-on-failure -j2
