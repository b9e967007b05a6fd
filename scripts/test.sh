#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite (under a virtual
# X display when there is no display): the Release build's tests and validation program, then
# the sanitizer builds' tests and the fuzz targets (scripts/validate.sh: two more builds of JUCE).
# OLVAR_RELEASE_ONLY=1 stops after the Release build's tests, for a quick check while working.
set -euo pipefail
cd "$(dirname "$0")/.."

start=$SECONDS
scripts/install-deps.sh
scripts/build.sh
echo "== release build: $((SECONDS - start)) s"

build_dir=${OLVAR_BUILD_DIR:-build}
run=()
if [ -z "${DISPLAY:-}" ]; then
    run=(xvfb-run -a -s "-screen 0 1280x1024x24")
fi

tests_start=$SECONDS
"${run[@]}" ctest --test-dir "$build_dir" --output-on-failure -j2
echo "== release tests: $((SECONDS - tests_start)) s"

if [ "${OLVAR_RELEASE_ONLY:-0}" != 1 ]; then
    scripts/validate.sh
fi

echo "== whole run: $((SECONDS - start)) s"
