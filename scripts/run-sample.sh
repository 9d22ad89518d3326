#!/usr/bin/env bash
# Installs what is needed, builds, generates the sample data and runs the
# program on it: the desktop window when there is a display, otherwise the
# headless tool, which prints where it wrote the results. The sample settings
# live in the build tree; the user's own settings file is never touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$build"
sample="$build/sample"
rm -rf "$sample"
"$build/kelvarin2-samples" "$sample" >/dev/null
if [ -x "$build/kelvarin2" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    cd "$sample/images"
    XDG_CONFIG_HOME="$sample/config" exec "$build/kelvarin2"
fi
cd "$sample"
"$build/kelvarin2-cli" process --settings "$sample/config/kelvarin2/Kelvarin2.ini" "$sample/images"
