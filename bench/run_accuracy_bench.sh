#!/usr/bin/env bash
# Accuracy of both centre weightings against known true centres.
#
# Writes (once) 20 images of 2592 x 1944 with 16 soft-edged light targets at
# known sub-pixel centres, moving by known sub-pixel steps, and prints per zone
# and overall the RMS and the largest error of each weighting.
#
#   bench/run_accuracy_bench.sh [BUILD_DIR] [SEED]
set -euo pipefail
build=$(realpath "${1:-build}")
seed=${2:-15}
data="$build/accuracy-data-$seed"
if [ ! -f "$data/truth.txt" ]; then
    echo "generating 20 images with known centres in $data ..."
    "$build/kelvarin2-samples" --truth "$data" 20 "$seed"
fi
"$build/bench_accuracy" "$data"
