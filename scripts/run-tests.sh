#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test (also a short fuzzing
# run of the file readers when clang is available).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
# CI builds the core libraries with their extra warnings as errors.
cmake -S "$root" -B "$root/build" -DKELVARIN_WERROR=ON >/dev/null
"$root/scripts/build.sh" "$root/build"
# The journal's tests against a real PostgreSQL server: a cluster of our own,
# stopped when this script ends.
. "$root/scripts/test-postgres.sh"
ctest --test-dir "$root/build" --output-on-failure -j"$(nproc)"
if [ -x "$root/tests/fuzz/run_fuzz.sh" ] && command -v clang++ >/dev/null; then
    "$root/tests/fuzz/run_fuzz.sh" "${KELVARIN_FUZZ_SECONDS:-20}"
fi
