#!/usr/bin/env bash
# Accuracy of the spot centre for every option set against known true centres.
#
# 1. The suite of small generated scenes (Gaussian targets of deviation 1-8 px
#    and discs, without noise and at SNR 100/20/5, sloped backgrounds,
#    saturated cores, a second target at 80 % 18 px away, each swept over one
#    pixel in 0.01-px steps): RMS, maximum, pixel locking, the ratio of the
#    real noise scatter to the predicted sx, sy, and the time per zone.
# 2. Held out: 20 images of 2592 x 1944 with 16 soft-edged light targets at
#    known sub-pixel centres (written once): RMS, maximum, time per zone.
#
#   bench/run_accuracy_bench.sh [BUILD_DIR] [SEED]
set -euo pipefail
build=$(realpath "${1:-build}")
seed=${2:-15}
data="$build/accuracy-data-$seed"
echo "== generated scenes"
"$build/bench_accuracy" --scenes
if [ ! -f "$data/truth.txt" ]; then
    echo "generating 20 images with known centres in $data ..."
    "$build/kelvarin2-samples" --truth "$data" 20 "$seed"
fi
echo "== held-out scene"
"$build/bench_accuracy" "$data"
