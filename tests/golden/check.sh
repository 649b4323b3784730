#!/usr/bin/env bash
# The golden-output guard: a fresh run of the golden cases must match tests/golden/expected
# byte for byte. To accept a deliberate change of output, run `make golden-update` and commit
# the new files with the reason.
#   check.sh KORVATH SCENE_MAKER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
"$here/golden.sh" "$1" "$2" "$fresh"
if ! diff -r "$here/expected" "$fresh"; then
    echo "golden output changed (see the differences above)"
    exit 1
fi
echo "golden output unchanged: $(ls "$fresh" | wc -l) files"
