#!/usr/bin/env bash
# Runs the fixed golden cases and writes, per case, the console text with times and rates
# masked (or its checksum when it is very long), the CSV report and the checksums of every
# image the run wrote.
#   golden.sh KORVATH SCENE_MAKER OUTPUT_DIR
set -euo pipefail
korvath=$(realpath "$1")
scenes=$(realpath "$2")
out=$3
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
out=$(realpath "$out")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$scenes" "$work"
cp "$here"/../../examples/*.pbm "$work"/

mask() {
    sed -E -e 's/(solutions: ).*(secs\.)$/\1#\2/' \
        -e 's/^(Evaluations per second:).*/\1#/' \
        -e 's/^(Program execution time: ).*(secs\.)$/\1#\2/' \
        -e 's/^(Average time per image: ).*(secs\.)$/\1#\2/'
}

# case NAME ARGS...: runs korvath in the scene folder.
case_() {
    local name=$1
    shift
    local status=0
    (cd "$work" && "$korvath" "$@") > "$work/console.txt" 2>&1 || status=$?
    echo "exit status $status" >> "$work/console.txt"
    mask < "$work/console.txt" > "$work/masked.txt"
    if [ "$(stat -c %s "$work/masked.txt")" -gt 200000 ]; then
        sha256sum < "$work/masked.txt" | cut -d' ' -f1 > "$out/$name.console.sha256"
    else
        cp "$work/masked.txt" "$out/$name.console.txt"
    fi
    if [ -f "$work/report.csv" ]; then
        mv "$work/report.csv" "$out/$name.report.csv"
    fi
    (cd "$work" && find . -name '*.pgm' -print0 | sort -z | xargs -0 -r sha256sum) > "$out/$name.images.sha256"
    find "$work" -name '*.pgm' -delete
    rm -f "$work/settings.cfg"
}

pbms=(circle.pbm two_ellipses.pbm noisy_ellipse.pbm several.pbm overlapping.pbm partial.pbm
      salt.pbm lines.pbm busy.pbm)
bmps=(depth1.bmp depth4.bmp depth8.bmp depth16.bmp depth16fields.bmp depth24.bmp depth32.bmp)

case_ batch_default --report report.csv "${pbms[@]}" "${bmps[@]}"
case_ single_default two_ellipses.pbm
case_ verbose9 -V 9 two_ellipses.pbm noisy_ellipse.pbm
case_ verbose16 -V 16 -e 60 circle.pbm
case_ progress -P -V 6 several.pbm
case_ draw_real -r --report report.csv several.pbm partial.pbm depth8.bmp
case_ evaluations2000 -e 2000 --report report.csv busy.pbm lines.pbm salt.pbm
case_ small_clusters -C 10 -p 5 --report report.csv busy.pbm overlapping.pbm
case_ clustering_freq1 --clustering-freq 1 --report report.csv busy.pbm partial.pbm
case_ quiet -V 0 circle.pbm missing.pbm picture.jpg noext
printf 'evaluations=3000\nverbose=4\ndrawing-thickness=3\nimage-files=overlapping.pbm\n' > "$work/settings.cfg"
case_ settings_cfg --report report.csv salt.pbm
