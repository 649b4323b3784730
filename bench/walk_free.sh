#!/usr/bin/env bash
# How fast the program would be if the line walks cost nothing. A scratch build with
# walk-replay.patch applied records every walk's result in a first run of a scene and answers
# the walks from that record in a second run, which then does all of the search's other work
# unchanged (same output, times aside). Printed per kind of the end-to-end set: the mean
# milliseconds per image of the program as built, and of the replaying run; given a second
# program, its mean too, timed in the same run.
#   walk_free.sh BUILD_DIR [OTHER_KORVATH]
set -euo pipefail
build=$(cd "$1" && pwd)
other=${2:+$(realpath "$2")}
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
cleanup() {
    git -C "$repo" worktree remove --force "$work/source" > /dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

git -C "$repo" worktree add --detach "$work/source" HEAD > /dev/null 2>&1
git -C "$work/source" apply "$repo/bench/walk-replay.patch"
cmake -S "$work/source" -B "$work/build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$work/build" -j "$(nproc)" --target korvath > /dev/null
replaying=$work/build/korvath
"$build/korvath-scenes" 1 7 "$work/scenes" --family default > /dev/null

source "$(dirname "$0")/common.sh"
milliseconds() {
    local start end
    start=$(date +%s%N)
    "$@" > "$work/out.txt"
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

# row KIND IMAGES TOTAL_MS WALK_FREE_MS OTHER_MS
row() {
    awk -v k="$1" -v n="$2" -v t="$3" -v f="$4" -v to="$5" -v o="${other:+1}" 'BEGIN {
        printf "%-22s %6d %10.1f %10.1f", k, n, t / n, f / n
        if (o) printf " %10.1f", to / n
        printf "\n" }'
}

printf '%-22s %6s %10s %10s' kind images 'ms/image' 'walk-free'
[ -n "$other" ] && printf ' %10s' 'other ms'
echo
all=0 all_free=0 all_other=0 images=0
for kind in $(ls "$work/scenes" | sed -n 's/_[0-9]*\.pbm$//p' | sort -u); do
    total=0 free=0 total_other=0 count=0
    for image in "$work/scenes/${kind}"_*.pbm; do
        total=$((total + $(milliseconds "$build/korvath" "$image")))
        mask < "$work/out.txt" > "$work/plain.txt"
        WALK_REPLAY=record:$work/walks "$replaying" "$image" > /dev/null
        free=$((free + $(WALK_REPLAY=replay:$work/walks milliseconds "$replaying" "$image")))
        mask < "$work/out.txt" | cmp -s - "$work/plain.txt" ||
            echo "replayed output differs on $(basename "$image")"
        if [ -n "$other" ]; then
            total_other=$((total_other + $(milliseconds "$other" "$image")))
        fi
        count=$((count + 1))
    done
    all=$((all + total)) all_free=$((all_free + free)) all_other=$((all_other + total_other))
    images=$((images + count))
    row "$kind" "$count" "$total" "$free" "$total_other"
done
row mean "$images" "$all" "$all_free" "$all_other"
