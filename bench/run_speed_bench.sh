#!/usr/bin/env bash
# Speed of reprocessing: the headless tool against reading the same files.
#
# Uses (and writes once) 20 images of 2592 x 1944 at 24 bits with 16 light
# targets, with zones of 301 x 301 (ZONES=91 for the small zones of 91 x 91),
# warms the page cache and prints, as whole processes, start-up included, the
# median over RUNS runs in milliseconds per image of:
#   cat of the files to /dev/null, the tool (default jobs), --jobs 1, --jobs 2,
#   --jobs 1 and 2 again without the measurement journal (--no-journal), the
#   tool's start and exit alone (--version),
#   unzip -p of the same images in zip archives to /dev/null, the tool on the
#   archives; the ratios, the tools' peak resident memory, and the processor
#   time of cat and the tool (a busy machine disturbs it less than wall time).
# Results go to a tmpfs directory when there is one, so that the flushing of
# the result files to disk is not what is measured.
#
#   bench/run_speed_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-7}
zones=${ZONES:-301}
data="$build/bench-data"
tmp=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp)/kelvarin-bench.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

if [ ! -f "$data/frame_020.bmp" ] || [ ! -f "$data/zones$zones.zon" ]; then
    echo "generating 20 images of 2592 x 1944 in $data ..."
    "$build/kelvarin2-samples" --bench "$data" 20 $(( (zones - 1) / 2 ))
    cp "$data/zones.zon" "$data/zones$zones.zon"
fi
if [ ! -f "$data/archives/b.zip" ]; then
    mkdir -p "$data/archives"
    (cd "$data" && zip -q archives/a.zip frame_00*.bmp && zip -q archives/b.zip frame_01*.bmp frame_020.bmp)
fi
settings="$tmp/Kelvarin2.ini"
printf '[Parameters]\nWorkDir=%s\n' "$tmp" > "$settings"
cat "$data"/frame_*.bmp "$data"/archives/*.zip > /dev/null

tool() { "$build/bench_run" "$runs" "$build/kelvarin2-cli" process --settings "$settings" \
         --zones "$data/zones$zones.zon" --out "$tmp/res" "$@"; }
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }

cat_=$("$build/bench_run" "$runs" sh -c "cat '$data'/frame_*.bmp > /dev/null")
def=$(tool "$data")
j1=$(tool --jobs 1 "$data")
j2=$(tool --jobs 2 "$data")
n1=$(tool --jobs 1 --no-journal "$data")
n2=$(tool --jobs 2 --no-journal "$data")
start=$("$build/bench_run" "$runs" "$build/kelvarin2-cli" --version)
unzip_=$("$build/bench_run" "$runs" sh -c "unzip -p '$data/archives/a.zip' > /dev/null && unzip -p '$data/archives/b.zip' > /dev/null")
zipj1=$(tool --jobs 1 "$data/archives/a.zip" "$data/archives/b.zip")

awk -v c="$(field wall_ms_median "$cat_")" -v d="$(field wall_ms_median "$def")" \
    -v j1="$(field wall_ms_median "$j1")" -v j2="$(field wall_ms_median "$j2")" \
    -v n1="$(field wall_ms_median "$n1")" -v n2="$(field wall_ms_median "$n2")" \
    -v st="$(field wall_ms_median "$start")" \
    -v u="$(field wall_ms_median "$unzip_")" -v z="$(field wall_ms_median "$zipj1")" \
    -v k1="$(field peak_kb "$j1")" -v k2="$(field peak_kb "$j2")" -v kz="$(field peak_kb "$zipj1")" \
    -v cc="$(field cpu_ms_median "$cat_")" -v cd="$(field cpu_ms_median "$def")" -v cj1="$(field cpu_ms_median "$j1")" \
    -v zones="$zones" -v cores="$(nproc)" 'BEGIN {
    printf "20 images 2592 x 1944 x 24, 16 zones of %d x %d, %d cores, median of runs\n", zones, zones, cores
    printf "cat to /dev/null:          %6.2f ms per image\n", c / 20
    printf "tool (jobs = cores):       %6.2f ms per image   tool / cat %.2f\n", d / 20, d / c
    printf "tool --jobs 1:             %6.2f ms per image   tool / cat %.2f\n", j1 / 20, j1 / c
    printf "tool --jobs 2:             %6.2f ms per image   speed-up over --jobs 1: %.2f\n", j2 / 20, j1 / j2
    printf "without the journal: --jobs 1 %.2f, --jobs 2 %.2f ms per image   speed-up %.2f\n", n1 / 20, n2 / 20, n1 / n2
    printf "start and exit of the tool alone (--version): %.1f ms, which no number of jobs shares\n", st
    printf "unzip -p to /dev/null:     %6.2f ms per image\n", u / 20
    printf "tool --jobs 1 on the zips: %6.2f ms per image   tool / unzip %.2f\n", z / 20, z / u
    printf "peak resident: --jobs 1 %.1f MB, --jobs 2 %.1f MB, zips %.1f MB\n", k1 / 1024, k2 / 1024, kz / 1024
    printf "processor time per image: cat %.2f ms, tool %.2f ms, tool --jobs 1 %.2f ms (less disturbed by other work)\n", cc / 20, cd / 20, cj1 / 20
}'
