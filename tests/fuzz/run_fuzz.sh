#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of
# seconds; exits non-zero when a target finds a crash, a sanitizer report or a
# hang. Every fuzz_<name>.cpp of this folder is a target; its seeds are the files
# of corpus/<name>/ (read only), new inputs go to the build directory.
#
#   tests/fuzz/run_fuzz.sh <seconds>
#
# KELVARIN_FUZZ_BUILD   build directory (default: build-fuzz at the top of the tree)
# KELVARIN_FUZZ_ARGS    extra libFuzzer options for every target
set -euo pipefail

seconds=${1:?usage: run_fuzz.sh <seconds>}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${KELVARIN_FUZZ_BUILD:-$root/build-fuzz}

targets=()
for source in "$here"/fuzz_*.cpp; do
    [[ -e $source ]] || continue
    targets+=("$(basename "$source" .cpp)")
done
if [[ ${#targets[@]} -eq 0 ]]; then
    echo "run_fuzz.sh: no fuzz_*.cpp targets in $here" >&2
    exit 1
fi

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVARIN_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

failed=()
for target in "${targets[@]}"; do
    name=${target#fuzz_}
    work="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    mkdir -p "$work" "$artifacts"
    seeds=()
    [[ -d $here/corpus/$name ]] && seeds+=("$here/corpus/$name")
    echo "== $target: ${seconds}s"
    # A single input taking over 10 s counts as a hang; inputs are kept small
    # enough to stay fast.
    # shellcheck disable=SC2086
    if ! "$build/$target" -max_total_time="$seconds" -timeout=10 -max_len=16384 \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
            ${KELVARIN_FUZZ_ARGS:-} "$work" "${seeds[@]}" >"$build/$target.log" 2>&1; then
        echo "!! $target failed; the input is in $artifacts, the log in $build/$target.log"
        grep -E "ERROR|runtime error|SUMMARY|Test unit written" "$build/$target.log" | head -20 || true
        failed+=("$target")
    else
        grep -E "^stat::number_of_executed_units|^stat::new_units_added" "$build/$target.log" || true
    fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzzing found faults in: ${failed[*]}"
    exit 1
fi
echo "fuzzing found nothing in: ${targets[*]}"
