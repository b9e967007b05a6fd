#!/usr/bin/env bash
# The sanitizer builds and the fuzzing, after the Release suite (scripts/test.sh runs this):
#   asan  - AddressSanitizer + UBSan build (clang, with the libFuzzer targets) and its test suite
#   fuzz  - each libFuzzer target for OLVAR_FUZZ_SECONDS (default 60) from fuzz/corpus/, both at once,
#           with the random seed OLVAR_FUZZ_SEED (default 1) so that a run can be repeated
#   tsan  - ThreadSanitizer build and its test suite
# Usage: scripts/validate.sh [asan] [fuzz] [tsan]   (default: all three, in that order)
set -euo pipefail
cd "$(dirname "$0")/.."

stages=("$@")
if [ ${#stages[@]} -eq 0 ]; then
    stages=(asan fuzz tsan)
fi

run=()
if [ -z "${DISPLAY:-}" ]; then
    run=(xvfb-run -a -s "-screen 0 1280x1024x24")
fi

# Everything the sanitizers run asks a closed loopback port for updates, and no proxy.
export OLVAR_UPDATE_ENDPOINT=http://127.0.0.1:9/olvar_update.php
export no_proxy='*'
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY all_proxy

timed() {
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    "$@"
    echo "== $name: $((SECONDS - start)) s"
}

build_preset() {
    local preset=$1
    if [ ! -f "build-$preset/CMakeCache.txt" ]; then
        cmake --preset "$preset" > /dev/null
    fi
    cmake --build --preset "$preset"
}

test_preset() {
    "${run[@]}" ctest --preset "$1"
}

fuzz() {
    local seconds=${OLVAR_FUZZ_SECONDS:-60} seed=${OLVAR_FUZZ_SEED:-1} pids=() target status=0
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:suppressions=$PWD/sanitizers/asan.supp"
    export LSAN_OPTIONS="suppressions=$PWD/sanitizers/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/sanitizers/ubsan.supp"

    for target in state envelope; do
        local work=build-asan/fuzz/$target
        rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
        build-asan/fuzz/olvar-fuzz-$target -max_total_time="$seconds" -seed="$seed" -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
            -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "fuzz/corpus/$target" \
            > "$work/log.txt" 2>&1 &
        pids+=($!)
    done

    for i in 0 1; do
        target=$([ $i -eq 0 ] && echo state || echo envelope)
        local log=build-asan/fuzz/$target/log.txt
        if wait "${pids[$i]}"; then
            echo "fuzz $target: $(grep -E '^Done [0-9]+ runs' "$log"), corpus $(ls "build-asan/fuzz/$target/corpus" | wc -l) new inputs"
        else
            status=1
            tail -n 60 "build-asan/fuzz/$target/log.txt"
            echo "fuzz $target FAILED: the crashing input is in build-asan/fuzz/$target/artifacts/;" \
                 "copy it into fuzz/regressions/$target/ so it runs as a regression test"
        fi
    done

    return $status
}

for stage in "${stages[@]}"; do
    case $stage in
        asan)
            timed "asan build" build_preset asan
            timed "asan tests" test_preset asan ;;
        tsan)
            timed "tsan build" build_preset tsan
            timed "tsan tests" test_preset tsan ;;
        fuzz)
            [ -x build-asan/fuzz/olvar-fuzz-state ] || timed "asan build" build_preset asan
            timed "fuzz" fuzz ;;
        *)
            echo "unknown stage: $stage (asan, fuzz, tsan)" >&2
            exit 2 ;;
    esac
done
