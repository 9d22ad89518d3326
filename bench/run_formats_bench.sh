#!/usr/bin/env bash
# Decoding speed of PNG, TIFF and JPEG: the headless tool against OpenCV.
#
# Uses the 20 bitmaps of 2592 x 1944 of run_speed_bench.sh (written once, 16
# targets, zones of 301 x 301), copies them once as PNG, uncompressed TIFF,
# LZW TIFF and JPEG (make_format_copies), warms the page cache and prints per
# format the median over RUNS runs in milliseconds per image of:
#   the tool with --jobs 1 and with its default jobs (whole processes, start
#   included), and OpenCV's imread of the same files, all 20 in one python3
#   process (python3-opencv; skipped without it), and their ratio.
# The tool decodes only the rows down to the last zone's; imread the whole image.
#
#   bench/run_formats_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-5}
data="$build/bench-data"
copies="$build/bench-data-formats"
tmp=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp)/kelvarin-formats.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

if [ ! -f "$data/frame_020.bmp" ] || [ ! -f "$data/zones301.zon" ]; then
    echo "generating 20 images of 2592 x 1944 in $data ..."
    "$build/kelvarin2-samples" --bench "$data" 20 150
    cp "$data/zones.zon" "$data/zones301.zon"
fi
if [ ! -f "$copies/jpg/frame_020.jpg" ]; then
    echo "writing PNG, TIFF and JPEG copies in $copies ..."
    mkdir -p "$copies/bmp"
    cp "$data"/frame_*.bmp "$copies/bmp/"
    "$build/make_format_copies" "$copies/bmp" "$copies"
fi
settings="$tmp/Kelvarin2.ini"
printf '[Parameters]\nWorkDir=%s\n' "$tmp" > "$settings"
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
tool() { "$build/bench_run" "$runs" "$build/kelvarin2-cli" process --settings "$settings" \
         --zones "$data/zones301.zon" --out "$tmp/res" "$@"; }

opencv() {
    /usr/bin/python3 - "$1" "$runs" <<'PY' 2>/dev/null || echo "- -"
import glob, statistics, sys, time
import cv2
files = sorted(glob.glob(sys.argv[1] + "/frame_*"))
cv2.setNumThreads(1)
walls, cpus = [], []
for _ in range(int(sys.argv[2])):
    start, cpu = time.perf_counter(), time.process_time()
    for f in files:
        if cv2.imread(f) is None:
            raise SystemExit(1)
    walls.append((time.perf_counter() - start) * 1000)
    cpus.append((time.process_time() - cpu) * 1000)
print("%.1f %.1f" % (statistics.median(walls), statistics.median(cpus)))
PY
}

echo "20 images 2592 x 1944, 16 zones of 301 x 301, $(nproc) cores; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "ms per image, medians of $runs runs: wall time, and processor time (less disturbed by other work)"
printf "%-8s %16s %16s %16s %14s\n" format "tool --jobs 1" "tool (jobs)" "OpenCV imread" "tool-j1 / cv"
for format in bmp png tif tif-lzw jpg; do
    cat "$copies/$format"/* > /dev/null
    j1=$(tool --jobs 1 "$copies/$format")
    def=$(tool "$copies/$format")
    read -r cvw cvc <<<"$(opencv "$copies/$format")"
    awk -v f="$format" -v jw="$(field wall_ms_median "$j1")" -v jc="$(field cpu_ms_median "$j1")" \
        -v dw="$(field wall_ms_median "$def")" -v dc="$(field cpu_ms_median "$def")" -v cw="$cvw" -v cc="$cvc" 'BEGIN {
        printf "%-8s %7.1f / %6.1f %7.1f / %6.1f ", f, jw / 20, jc / 20, dw / 20, dc / 20
        if (cw == "-") printf "%16s %14s\n", "-", "-"
        else printf "%7.1f / %6.1f %6.2f / %5.2f\n", cw / 20, cc / 20, jw / cw, jc / cc }'
done
echo "(wall / processor; the tool's figures include its start and the result files)"
