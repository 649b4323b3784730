#!/usr/bin/env bash
# End-to-end timing of the executable on generated images: the samples, made afresh, and a
# larger busy scene.
set -euo pipefail
korvath=${1:-build/korvath}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$(dirname "$0")/../scripts/make_examples.py" "$work" --bench > /dev/null
for image in "$work"/*.pbm; do
    start=$(date +%s.%N)
    "$korvath" -V 0 "$image" > "$work/out.txt"
    end=$(date +%s.%N)
    rate=$(grep -o 'Evaluations per second:[^ ]*' "$work/out.txt" | cut -d: -f2)
    evals=$(grep -o 'Elapsed time to [0-9]*' "$work/out.txt" | grep -o '[0-9]*$')
    printf '%-20s %6s evaluations  %8s evaluations/s  %.3f s wall\n' "$(basename "$image")" \
        "$evals" "$rate" "$(awk "BEGIN{print $end - $start}")"
done
