#!/usr/bin/env bash
# The window keeping up: "Найти координаты" in the main window with
# "Показывать" on, against the headless tool on the same images with the same
# settings (default jobs, and --jobs 1).
#
# Uses the images of run_speed_bench.sh (20 of 2592 x 1944 at 24 bits, 16
# zones of 301 x 301; ZONES=91 for 91 x 91), or the directory given as IMAGES
# with its zones.zon. Results and journals go to a tmpfs directory when there
# is one. Prints ms per image (the window's run without its start-up, the tool
# as whole processes with theirs) and the ratio window / tool.
#
#   bench/run_window_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-5}
zones=${ZONES:-301}
tmp=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp)/kelvarin-window.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

if [ -n "${IMAGES:-}" ]; then
    data=$(realpath "$IMAGES")
    zonefile="$data/zones.zon"
else
    data="$build/bench-data"
    zonefile="$data/zones$zones.zon"
    if [ ! -f "$data/frame_020.bmp" ] || [ ! -f "$zonefile" ]; then
        echo "generating 20 images of 2592 x 1944 in $data ..."
        "$build/kelvarin2-samples" --bench "$data" 20 $(( (zones - 1) / 2 ))
        cp "$data/zones.zon" "$zonefile"
    fi
fi
# The window lists its working directory: links to the images keep the
# results out of the image directory.
mkdir -p "$tmp/work"
count=0
for f in "$data"/*.bmp; do ln -s "$f" "$tmp/work/"; count=$((count + 1)); done
cat "$data"/*.bmp > /dev/null
# The window writes the settings the tool is then given.
window=$("$build/bench_window_run" "$tmp/config" "$tmp/work" "$zonefile" "$runs")
settings="$tmp/config/kelvarin2/Kelvarin2.ini"

tool() { "$build/bench_run" "$runs" "$build/kelvarin2-cli" process --settings "$settings" \
         --zones "$zonefile" --out "$tmp/res" "$@" "$tmp/work"; }
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }

def=$(tool)
j1=$(tool --jobs 1)
awk -v w="$(field window_ms_median "$window")" -v d="$(field wall_ms_median "$def")" \
    -v j1="$(field wall_ms_median "$j1")" -v n="$count" -v cores="$(nproc)" 'BEGIN {
    printf "%d images, %d cores, median of runs\n", n, cores
    printf "window, visualisation on:  %6.2f ms per image\n", w / n
    printf "tool (jobs = cores):       %6.2f ms per image   window / tool %.2f\n", d / n, w / d
    printf "tool --jobs 1:             %6.2f ms per image   window / tool --jobs 1 %.2f\n", j1 / n, w / j1
}'
grep -o 'status=.*' <<<"$window"
