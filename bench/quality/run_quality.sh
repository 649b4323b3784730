#!/usr/bin/env bash
# Detection-quality benchmark: scores the detector on a fixed set of synthetic scenes (two
# families) and on the real edge maps, and prints one table per set (with the recall by the
# truth's semi-minor axis) and the mean time per image. For the real maps it also times the
# Python module's detect on the images in memory (bench/quality/time_in_memory.py), with the
# extra options translated to its keywords: --validate -> validate=True, -e N / --evaluations N
# -> evaluations=N, --some-name -> some_name=True, --some-name N -> some_name=N. An option the
# module lacks (e.g. -j) leaves that time "not measured".
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
#                            ("" skips them; copied to the scratch folder only, never into the
#                            repository)
#   QUALITY_REAL_SUBSET=all  which real maps, sorted by name: all, tune (positions 0, 2, 4, ...)
#                            or report (positions 1, 3, 5, ...); only those are run and scored
#   QUALITY_SKIP_SYNTHETIC=1 run only the real maps
#   QUALITY_PER_CALL=0       skip the in-memory timing of the Python module
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

seed=${QUALITY_SEED:-1}
default_count=${QUALITY_DEFAULT_COUNT:-7}
hard_count=${QUALITY_HARD_COUNT:-5}
real_dir=${QUALITY_REAL_DIR-$(cd "$(dirname "$0")/../.." && pwd)/../shared/realdata/prasad}
real_subset=${QUALITY_REAL_SUBSET:-all}
skip_synthetic=${QUALITY_SKIP_SYNTHETIC:-0}
per_call=${QUALITY_PER_CALL:-1}
case $real_subset in
all | tune | report) ;;
*)
    echo "QUALITY_REAL_SUBSET must be all, tune or report, not '$real_subset'" >&2
    exit 2
    ;;
esac
if [ "$skip_synthetic" = 1 ] && [ -z "$real_dir" ]; then
    echo "QUALITY_SKIP_SYNTHETIC=1 and QUALITY_REAL_DIR=\"\": nothing to run" >&2
    exit 2
fi

scenes=$build_dir/korvath-scenes
score=$build_dir/korvath-score
programs=("$korvath" "$score")
[ "$skip_synthetic" = 1 ] || programs+=("$scenes")
for program in "${programs[@]}"; do
    if [ ! -x "$program" ]; then
        echo "$program: not found or not executable" >&2
        [ "$program" = "$korvath" ] ||
            echo "build it with: cmake --build $build_dir --target korvath-scenes korvath-score" >&2
        exit 2
    fi
done

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

# The extra options as keywords of the Python module's detect (KEY=VALUE), each with the option
# it came from, for time_in_memory.py.
keywords=()
keyword_options=()

# Whether a word is an option's value rather than the next option (negative numbers are values).
is_value() { [[ $1 != -* || $1 =~ ^-[0-9.] ]]; }

# Options that take no value.
is_switch() {
    case $1 in
    validate | refine | light-is-active | progress | draw-real | help | version) return 0 ;;
    esac
    return 1
}

long_name() {
    case $1 in
    e) echo evaluations ;;
    C) echo cluster-size ;;
    p) echo populations ;;
    E) echo elite-proportion ;;
    d) echo discard-proportion ;;
    c) echo crossover-rate ;;
    m) echo mutation-rate ;;
    V) echo verbose ;;
    T) echo tracing-probability ;;
    j) echo jobs ;;
    P) echo progress ;;
    r) echo draw-real ;;
    v) echo version ;;
    h) echo help ;;
    *) echo "$1" ;;
    esac
}

translate_options() {
    local i=0 option name value
    while [ "$i" -lt "${#extra[@]}" ]; do
        option=${extra[i]}
        i=$((i + 1))
        case $option in
        --*=*)
            name=${option%%=*}
            name=${name#--}
            value=${option#*=}
            ;;
        --?* | -?*)
            if [[ $option == --* ]]; then
                name=${option#--}
                value=True
            else
                name=$(long_name "${option:1:1}")
                value=${option:2} # -e8000
                [ -n "$value" ] || value=True
            fi
            if [ "$value" = True ] && ! is_switch "$name" && [ "$i" -lt "${#extra[@]}" ] &&
                is_value "${extra[i]}"; then
                value=${extra[i]}
                i=$((i + 1))
            fi
            ;;
        *) continue ;; # not an option
        esac
        keywords+=("${name//-/_}=$value")
        keyword_options+=("${option%%=*}")
    done
}

# Prints the mean time of the Python module's detect on the images of folder $1, in memory.
time_per_call() {
    local folder=$1 output status=0 python key i
    python=$(sed -n 's/^_\{0,1\}Python_EXECUTABLE:[A-Z]*=//p' "$build_dir/CMakeCache.txt" \
        2> /dev/null | head -n 1)
    [ -n "$python" ] || python=python3
    output=$("$python" "$(dirname "$0")/time_in_memory.py" "$build_dir" "$folder" \
        "${keywords[@]}" 2> "$work/per-call.err") || status=$?
    output=$(printf '%s\n' "$output" | tail -n 1)
    if [ -z "$output" ]; then
        output="not measured (time_in_memory.py failed: $(tail -n 1 "$work/per-call.err"))"
    elif [ "$status" -eq 3 ]; then
        # Name the option as it was given rather than its keyword.
        key=$(printf '%s\n' "$output" | sed -n 's/^not measured (option \(.*\) not in .*/\1/p')
        for i in "${!keywords[@]}"; do
            [ "${keywords[i]%%=*}" = "$key" ] &&
                output="not measured (option ${keyword_options[i]} not in the Python module)"
        done
    fi
    echo "$output"
}

# The real maps of the chosen subset, one path a line: sorted by name, tune takes the even
# positions and report the odd ones.
real_maps() {
    local first=0 step=2
    case $real_subset in
    all) step=1 ;;
    report) first=1 ;;
    esac
    printf '%s\n' "$real_dir"/*.pbm | LC_ALL=C sort |
        awk -v first="$first" -v step="$step" '(NR - 1) >= first && (NR - 1 - first) % step == 0'
}

for family in default hard; do
    [ "$skip_synthetic" = 1 ] && break
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
        # The detector writes its result image beside the input: work on copies, with the truth
        # of the chosen maps only, since the scorer counts every truth file of its folder.
        mkdir -p "$work/real"
        total=$(compgen -G "$real_dir/*.pbm" | wc -l)
        chosen=0
        while IFS= read -r map; do
            cp "$map" "$work/real/"
            truth=${map%.pbm}.json
            [ ! -f "$truth" ] || cp "$truth" "$work/real/"
            chosen=$((chosen + 1))
        done < <(real_maps)
        echo "== real edge maps ($real_dir, subset $real_subset: $chosen of $total maps;" \
            "every labelled ellipse scored)"
        timing=$(run_detector "$work/real" "$work/real.csv" "$work/real.log")
        "$score" "$work/real" "$work/real.csv" --kind real "${score_options[@]}"
        echo "time: $timing"
        if [ "$per_call" != 0 ]; then
            translate_options
            echo "per-call time: $(time_per_call "$work/real")"
        fi
    else
        echo "== real edge maps: $real_dir not found, skipped"
    fi
fi
