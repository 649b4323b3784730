#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang in build-fuzz, replays their seeds and
# past crashers, then fuzzes each target for a while. Any finding (a crash, a sanitizer report,
# a leak, an input slower than the timeout, memory past the limit) fails the run; its input is
# left in build-fuzz/findings/TARGET/ and the fuzzer's report in build-fuzz/TARGET.log.
#   scripts/run-fuzzers.sh [SECONDS_PER_TARGET] [TARGET ...]
# Targets: pbm bmp png pgm tiff options search (all by default); SECONDS_PER_TARGET defaults to 60.
# The environment variable JOBS sets the build's parallelism (1 by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
if [ $# -gt 0 ]; then
    shift
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(pbm bmp png pgm tiff options search)
fi
build=$root/build-fuzz
seeds=$root/tests/fuzz/corpus

mkdir -p "$build"
CC=clang CXX=clang++ cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    > "$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "${JOBS:-1}" --target korvath_fuzzers
ctest --test-dir "$build" --output-on-failure

status=0
for target in "${targets[@]}"; do
    # New inputs go to the first folder, in the build; the seeds in the tree stay as they are.
    corpus=$build/corpus/$target
    findings=$build/findings/$target
    mkdir -p "$corpus" "$findings"
    options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$findings/")
    case $target in
    options) options+=(-dict="$root/tests/fuzz/options.dict" -max_len=512) ;;
    search) options+=(-max_len=600) ;;
    *) options+=(-max_len=4096) ;;
    esac
    log=$build/$target.log
    if "$build/korvath_fuzz_$target" "${options[@]}" "$corpus" "$seeds/$target" > "$log" 2>&1; then
        echo "$target: nothing found in ${seconds} s, $(grep -m1 -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$') inputs run"
    else
        echo "$target: FINDING, see $log and $findings/"
        grep -m3 -E '^==[0-9]+==|ERROR|SUMMARY|runtime error|deadly signal|timeout' "$log" || true
        status=1
    fi
done
exit $status
