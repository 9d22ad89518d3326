#!/usr/bin/env bash
# Speed of the headless tool against reading the same files with cat.
#
# Generates 20 images of 2592 x 1944 at 24 bits with 16 light targets (once),
# warms the page cache, then times `kelvarin2-cli process` over them and `cat`
# of the same files to /dev/null, as whole processes, and prints milliseconds
# per image and the tool's peak resident memory.
#
#   bench/run_cli_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-9}
data="$build/bench-data"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if [ ! -f "$data/frame_020.bmp" ]; then
    echo "generating 20 images of 2592 x 1944 in $data ..."
    "$build/kelvarin2-samples" --bench "$data" 20
fi
settings="$out/Kelvarin2.ini"
printf '[Parameters]\nWorkDir=%s\n' "$out" > "$settings"
cat "$data"/frame_*.bmp > /dev/null

tool=$("$build/bench_run" "$runs" "$build/kelvarin2-cli" process --settings "$settings" \
       --zones "$data/zones.zon" --out "$out/res" "$data")
cat_=$("$build/bench_run" "$runs" sh -c "cat '$data'/frame_*.bmp > /dev/null")

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
tool_ms=$(field wall_ms_median "$tool")
cat_ms=$(field wall_ms_median "$cat_")
awk -v t="$tool_ms" -v c="$cat_ms" -v kb="$(field peak_kb "$tool")" 'BEGIN {
    printf "kelvarin2-cli process: %.2f ms per image (whole run %.1f ms)\n", t / 20, t
    printf "cat to /dev/null:      %.2f ms per image (whole run %.1f ms)\n", c / 20, c
    printf "ratio tool / cat:      %.2f\n", t / c
    printf "tool peak resident:    %.1f MB\n", kb / 1024
}'
