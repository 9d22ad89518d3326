#!/usr/bin/env bash
# What the measurement journal costs a run: `kelvarin2-cli process` over 20
# images of 2592 x 1944 at 24 bits with 16 targets, with the journal (a SQLite
# file in a directory on disk, one transaction per image) against
# --no-journal, as whole processes; then the export of 1,000,000 measurements.
#
#   bench/run_journal_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-9}
data="$build/bench-data"
out=$(mktemp -d "$build/journal-bench.XXXXXX")
trap 'rm -rf "$out"' EXIT

if [ ! -f "$data/frame_020.bmp" ]; then
    echo "generating 20 images of 2592 x 1944 in $data ..."
    "$build/kelvarin2-samples" --bench "$data" 20
fi
settings="$out/Kelvarin2.ini"
printf '[Parameters]\nWorkDir=%s\n' "$out" > "$settings"
cat "$data"/frame_*.bmp > /dev/null

common=(process --settings "$settings" --zones "$data/zones.zon" --out "$out/res")
without=$("$build/bench_run" "$runs" "$build/kelvarin2-cli" "${common[@]}" --no-journal "$data")
with=$("$build/bench_run" "$runs" "$build/kelvarin2-cli" "${common[@]}" --journal "$out/j.sqlite" "$data")

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
awk -v a="$(field wall_ms_median "$without")" -v b="$(field wall_ms_median "$with")" 'BEGIN {
    printf "process --no-journal: %.1f ms for 20 images (%.2f ms per image)\n", a, a / 20
    printf "process with journal: %.1f ms for 20 images (%.2f ms per image)\n", b, b / 20
    printf "journal cost:         %+.1f%%\n", (b / a - 1) * 100
}'
"$build/bench_journal_export"
