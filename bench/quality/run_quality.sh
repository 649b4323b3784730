#!/usr/bin/env bash
# Detection-quality benchmark: scores the detector on a fixed set of synthetic scenes (two
# families) and on the real edge maps, and prints one table per set and the mean time per image.
#
#   bench/quality/run_quality.sh KORVATH_BIN BUILD_DIR [extra korvath options...]
#
# BUILD_DIR holds korvath-scenes and korvath-score. The extra options go to every detector run,
# before the image files. The detector runs in an empty scratch folder (so no settings.cfg is
# read) and writes its result images there; nothing is written elsewhere.
#
# Environment (all optional):
#   QUALITY_SEED=1           seed of the synthetic scenes
#   QUALITY_DEFAULT_COUNT=7  scenes per kind of the default family
#   QUALITY_HARD_COUNT=5     scenes per kind of the hard family
#   QUALITY_REAL_DIR=../shared/realdata/prasad (beside the checkout): real edge maps and truth
#                            ("" skips them; used in place, never copied into the repository)
#   QUALITY_PER_SCENE=1      also print one row per scene
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 KORVATH_BIN BUILD_DIR [extra korvath options...]" >&2
    exit 2
fi
absolute() { (cd "$(dirname "$1")" && printf '%s/%s\n' "$(pwd)" "$(basename "$1")"); }
korvath=$(absolute "$1")
build_dir=$(cd "$2" && pwd)
shift 2
extra=("$@")

scenes=$build_dir/korvath-scenes
score=$build_dir/korvath-score
for program in "$korvath" "$scenes" "$score"; do
    if [ ! -x "$program" ]; then
        echo "$program: not found or not executable" >&2
        [ "$program" = "$korvath" ] ||
            echo "build it with: cmake --build $build_dir --target korvath-scenes korvath-score" >&2
        exit 2
    fi
done

seed=${QUALITY_SEED:-1}
default_count=${QUALITY_DEFAULT_COUNT:-7}
hard_count=${QUALITY_HARD_COUNT:-5}
real_dir=${QUALITY_REAL_DIR-$(cd "$(dirname "$0")/../.." && pwd)/../shared/realdata/prasad}
score_options=(--per-kind)
[ "${QUALITY_PER_SCENE:-0}" = 1 ] && score_options+=(--per-scene)

# Quiet unless the caller chose a verbosity.
verbosity=(-V 0)
for option in "${extra[@]}"; do
    case $option in
    -V | -V* | --verbose | --verbose=*) verbosity=() ;;
    esac
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//' || true)
echo "detector: $korvath ${extra[*]:-}"
echo "machine:  $(nproc) cores, ${cpu:-unknown CPU}"
echo

# Runs the detector once on every .pbm of folder $1, writing report $2; prints the mean time.
run_detector() {
    local folder=$1 report=$2 log=$3
    local images=("$folder"/*.pbm)
    local start end status=0
    start=$(date +%s.%N)
    (cd "$work" && "$korvath" "${verbosity[@]}" "${extra[@]}" --report "$report" "${images[@]}") \
        > "$log" 2>&1 || status=$?
    end=$(date +%s.%N)
    if [ "$status" -ne 0 ] || [ ! -f "$report" ]; then
        echo "detector failed (status $status); last lines of its output:" >&2
        tail -n 20 "$log" >&2
        exit 1
    fi
    awk -v s="$start" -v e="$end" -v n="${#images[@]}" \
        'BEGIN { printf "%d images, %.1f s wall, %.3f s per image\n", n, e - s, (e - s) / n }'
}

for family in default hard; do
    count=$default_count
    [ "$family" = hard ] && count=$hard_count
    folder=$work/$family
    mkdir -p "$folder"
    "$scenes" "$seed" "$count" "$folder" --family "$family" > /dev/null
    echo "== synthetic, family $family (seed $seed, $count scenes per kind)"
    timing=$(run_detector "$folder" "$work/$family.csv" "$work/$family.log")
    "$score" "$folder" "$work/$family.csv" "${score_options[@]}"
    echo "time: $timing"
    echo
done

if [ -n "$real_dir" ]; then
    if [ -d "$real_dir" ] && compgen -G "$real_dir/*.pbm" > /dev/null; then
        # The detector writes its result image beside the input: work on copies.
        mkdir -p "$work/real"
        cp "$real_dir"/*.pbm "$work/real/"
        echo "== real edge maps ($real_dir; every labelled ellipse scored)"
        timing=$(run_detector "$work/real" "$work/real.csv" "$work/real.log")
        "$score" "$real_dir" "$work/real.csv" --kind real "${score_options[@]}"
        echo "time: $timing"
    else
        echo "== real edge maps: $real_dir not found, skipped"
    fi
fi
