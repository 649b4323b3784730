#!/usr/bin/env bash
# Runs the README's GNU parallel recipe on this machine (--sshlogin : is the local host), merges
# the shards with scripts/merge-reports.sh and compares the rows with one batch's report.
#   parallel-recipe.sh SOURCE_DIR PROGRAM
set -euo pipefail
source=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Nine images, the same scenes under other names, so that every shard has some.
for i in 1 2 3; do
    for scene in circle noisy_ellipse two_ellipses; do
        cp "$source/examples/$scene.pbm" "${scene}_$i.pbm"
    done
done
ls ./*.pbm | sed 's|^\./||' > files.txt

recipe=$(awk '/^  # GNU parallel over ssh/ {on = 1; next} on && /```/ {exit} on' \
    "$source/README.md")
[ -n "$recipe" ] || { echo "no GNU parallel recipe in the README" >&2; exit 1; }
recipe=${recipe//--sshlogin host1,host2/--sshlogin :}
recipe=${recipe//build\/korvath/$program}
recipe=${recipe//scripts\/merge-reports.sh/$source/scripts/merge-reports.sh}
echo "$recipe"
bash -euo pipefail -c "$recipe"

"$program" -V 0 --report one.csv $(cat files.txt) > one.log
[ "$(wc -l < one.csv)" -gt 9 ] || { echo "the batch found too little" >&2; exit 1; }
diff one.csv all.csv
echo "merged shards equal one batch: $(($(wc -l < all.csv) - 1)) rows"
