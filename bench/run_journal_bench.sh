#!/usr/bin/env bash
# What the measurement journal costs a run: `kelvarin2-cli process` over
# IMAGES (default 200) images of 2592 x 1944 at 24 bits with 16 targets (zones
# of 301 x 301 or ZONES x ZONES), with the journal (a SQLite file in a
# directory on disk; a batch groups the images that wait into one commit)
# against --no-journal, as whole processes, with the default jobs (one per
# core) and with one job; then the export of 1,000,000 measurements. The
# images are 20 files, each linked IMAGES / 20 times (hard links: no copy).
#
# The two are run one after the other, RUNS times each, so that a load that
# comes and goes on the machine falls on both alike; medians are compared.
# JOURNAL_BENCH_EXPORT=0 leaves out the export; JOURNAL_BENCH_DIR names the
# directory the results and the journal go to (default: under BUILD_DIR), e.g.
# a tmpfs to see the cost without the disk's sync latency.
#
#   bench/run_journal_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-9}
images=${IMAGES:-200}
data="$build/bench-data"
out=$(mktemp -d "${JOURNAL_BENCH_DIR:-$build}/journal-bench.XXXXXX")
trap 'rm -rf "$out"' EXIT

# The zones: 301 x 301 as in the speed bench (ZONES=91 for small ones); the
# images and zone files are shared with it.
zones=${ZONES:-301}
if [ ! -f "$data/frame_020.bmp" ] || [ ! -f "$data/zones$zones.zon" ]; then
    echo "generating 20 images of 2592 x 1944 in $data ..."
    "$build/kelvarin2-samples" --bench "$data" 20 $(( (zones - 1) / 2 ))
    cp "$data/zones.zon" "$data/zones$zones.zon"
fi
settings="$out/Kelvarin2.ini"
printf '[Parameters]\nWorkDir=%s\n' "$out" > "$settings"
cat "$data"/frame_*.bmp > /dev/null
mkdir "$out/images"
for i in $(seq "$images"); do
    ln "$data/frame_$(printf '%03d' $(( (i - 1) % 20 + 1 ))).bmp" "$out/images/frame_$(printf '%04d' "$i").bmp"
done

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# compare LABEL [JOB OPTIONS...]: RUNS alternating pairs, then the medians.
compare() {
    local label=$1
    shift
    local common=(process --settings "$settings" --zones "$data/zones$zones.zon" --out "$out/res" "$@")
    local without=() with=()
    for _ in $(seq "$runs"); do
        without+=("$(field wall_ms_median "$("$build/bench_run" 1 "$build/kelvarin2-cli" "${common[@]}" --no-journal "$out/images")")")
        with+=("$(field wall_ms_median "$("$build/bench_run" 1 "$build/kelvarin2-cli" "${common[@]}" --journal "$out/j.sqlite" "$out/images")")")
    done
    awk -v label="$label" -v n="$images" -v a="$(printf '%s\n' "${without[@]}" | median)" -v b="$(printf '%s\n' "${with[@]}" | median)" \
        -v all_a="${without[*]}" -v all_b="${with[*]}" 'BEGIN {
        printf "%s, --no-journal: %.1f ms for %d images (%.2f ms per image); runs: %s\n", label, a, n, a / n, all_a
        printf "%s, journal:      %.1f ms for %d images (%.2f ms per image); runs: %s\n", label, b, n, b / n, all_b
        printf "%s, journal cost: %+.1f%%\n", label, (b / a - 1) * 100
    }'
}

echo "$images images 2592 x 1944 x 24, 16 zones of $zones x $zones"
compare "process (jobs: one per core)"
compare "process --jobs 1" --jobs 1
if [ "${JOURNAL_BENCH_EXPORT:-1}" != 0 ]; then
    "$build/bench_journal_export"
fi
