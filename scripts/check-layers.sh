#!/usr/bin/env bash
# Fails on any include that runs upward or sideways between the layers of src/:
# driver -> api -> engine -> genetic -> measure -> geometry, image -> core; include/korvath is the api's.
# The build enforces the same (each layer compiles against its own include folder).
set -euo pipefail
cd "$(dirname "$0")/.."
rank() {
    case $1 in
        core) echo 0 ;; image | geometry) echo 1 ;; measure) echo 2 ;; genetic) echo 3 ;;
        engine) echo 4 ;; api) echo 5 ;; driver) echo 6 ;; *) echo 9 ;;
    esac
}
status=0
while IFS= read -r line; do
    file=${line%%:*}
    included=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<< "$line")
    layer=$(cut -d/ -f2 <<< "$file")
    # The library's public header is the api layer's face.
    [ "$included" = korvath ] && included=api
    [ "$layer" = korvath ] && layer=api
    [ "$included" = "$layer" ] && continue
    if [ "$(rank "$included")" -ge "$(rank "$layer")" ]; then
        echo "layering: $file includes $included/, which is not below $layer/"
        status=1
    fi
done < <(grep -rHE '^#include "[^/"]+/' src include 2>/dev/null || true)
[ $status -eq 0 ] && echo "layering: every include runs downward"
exit $status
