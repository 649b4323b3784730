#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds examples/consumer against the installed
# package, as another project would, then runs it on the sample drawing of two ellipses.
#   consumer.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" > /dev/null
test -x "$scratch/prefix/bin/korvath"
test -f "$scratch/prefix/include/korvath/korvath.h"
cmake -S "$source/examples/consumer" -B "$scratch/consumer" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$scratch/prefix" > /dev/null
cmake --build "$scratch/consumer" > /dev/null
output=$("$scratch/consumer/count_ellipses" "$source/examples/two_ellipses.pbm")
echo "$output"
grep -q "two_ellipses.pbm: 2 ellipses" <<< "$output"
