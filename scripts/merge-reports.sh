#!/usr/bin/env bash
# Merges the CSV reports of the shards of a batch into one, and lists every image of the batch
# that no shard reported: an image that found nothing has no rows either, so check those
# against the shard's console log before searching again.
#   merge-reports.sh FILE_LIST MERGED.csv SHARD.csv...
# FILE_LIST holds the batch's image names, one per line, as they were given to the shards.
set -euo pipefail
if [ $# -lt 3 ]; then
    echo "usage: $0 FILE_LIST MERGED.csv SHARD.csv..." >&2
    exit 2
fi
list=$1
merged=$2
shift 2
header="image,index,center_x,center_y,major_axis,minor_axis,angle,completeness,distance"
for shard in "$@"; do
    if [ "$(head -n 1 "$shard")" != "$header" ]; then
        echo "$shard: not a report (its first line is not the report header)" >&2
        exit 1
    fi
done
# Rows keep the order of the file list, then of the index within an image. A quoted name (one
# holding a comma, quote or line end) is kept whole.
python3 - "$list" "$merged" "$header" "$@" <<'PYTHON'
import csv, sys
list_path, merged_path, header, shards = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
names = [line.rstrip("\n") for line in open(list_path, encoding="utf-8") if line.strip()]
rows = {}
for shard in shards:
    with open(shard, newline="", encoding="utf-8") as f:
        reader = csv.reader(f)
        next(reader)
        for row in reader:
            rows.setdefault(row[0], []).append(row)
with open(merged_path, "w", newline="", encoding="utf-8") as out:
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(header.split(","))
    for name in names:
        for row in sorted(rows.get(name, []), key=lambda r: int(r[1])):
            writer.writerow(row)
missing = [name for name in names if name not in rows]
for name in missing:
    print("missing:", name)
print(f"{len(names) - len(missing)} of {len(names)} images reported; {len(missing)} missing",
      file=sys.stderr)
PYTHON
