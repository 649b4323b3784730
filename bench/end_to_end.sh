#!/usr/bin/env bash
# End-to-end timing over a fixed generated set: for every kind of scene the mean milliseconds
# per image, the evaluations per second and the peak memory, one process per image as a user
# with a batch of edge maps would see it. Given a second program, both are timed in the same
# run and their outputs compared (times and rates masked).
#   end_to_end.sh BUILD_DIR [KORVATH [OTHER_KORVATH]]
set -euo pipefail
build=$(cd "$1" && pwd)
korvath=$(realpath "${2:-$build/korvath}")
other=${3:+$(realpath "$3")}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/korvath-scenes" 1 7 "$work/scenes" --family default > /dev/null

source "$(dirname "$0")/common.sh"

# time_one PROGRAM IMAGE: prints milliseconds, evaluations and peak kilobytes.
time_one() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$work/peak" "$1" "$2" > "$work/out.txt"
    end=$(date +%s%N)
    local evals
    evals=$(grep -o 'Elapsed time to [0-9]*' "$work/out.txt" | grep -o '[0-9]*$')
    echo "$(( (end - start) / 1000000 )) $evals $(cat "$work/peak")"
}

printf '%-22s %6s %10s %10s %9s' kind images 'ms/image' 'evals/s' 'peak MiB'
[ -n "$other" ] && printf ' %10s %10s %8s' 'other ms' 'other e/s' speed-up
echo
for kind in $(ls "$work/scenes" | sed -n 's/_[0-9]*\.pbm$//p' | sort -u); do
    total=0 evals=0 peak=0 count=0 total_other=0 evals_other=0
    for image in "$work/scenes/${kind}"_*.pbm; do
        read -r ms ev kb < <(time_one "$korvath" "$image")
        mask < "$work/out.txt" > "$work/mine.txt"
        total=$((total + ms)) evals=$((evals + ev)) count=$((count + 1))
        [ "$kb" -gt "$peak" ] && peak=$kb
        if [ -n "$other" ]; then
            read -r ms ev kb < <(time_one "$other" "$image")
            mask < "$work/out.txt" > "$work/theirs.txt"
            cmp -s "$work/mine.txt" "$work/theirs.txt" || echo "output differs on $(basename "$image")"
            total_other=$((total_other + ms)) evals_other=$((evals_other + ev))
        fi
    done
    awk -v k="$kind" -v n="$count" -v t="$total" -v e="$evals" -v p="$peak" \
        -v to="$total_other" -v eo="$evals_other" -v o="${other:+1}" 'BEGIN {
        printf "%-22s %6d %10.1f %10.0f %9.1f", k, n, t / n, e / (t > 0 ? t / 1000 : 1e-9), p / 1024
        if (o) printf " %10.1f %10.0f %8.2f", to / n, eo / (to > 0 ? to / 1000 : 1e-9), to / (t > 0 ? t : 1)
        printf "\n" }'
done
