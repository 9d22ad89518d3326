#!/bin/bash
# Soak test of the headless watch (not part of the test suite):
#   bench/soak_watch.sh [COUNT] [BUILD_DIR]
# Feeds COUNT images (default 1000) into a watched buffer directory from
# another process, with faults injected:
#   - damaged images (a cut header),
#   - read-only images (set aside after about a minute),
#   - images held open while they are written (written in two halves),
#   - reused names ("dup.bmp" again and again),
#   - the archiver failing for 15 s (a failing "zip" first in PATH),
#   - the working directory read-only for 15 s (only when not run as root,
#     since root writes there regardless),
#   - a second watch started on the same working directory (it must be
#     refused with exit status 2 and the first watch's process named),
#   - at half way the watch is stopped, its coordinate files and log are
#     moved away (its archive stays) and a new watch goes on: it must take a
#     new base and never add to the first archive,
#   - the journal locked by another process (BEGIN EXCLUSIVE) for 40 s from
#     just before the second watch starts.
# At the end every image must be either in an archive with exactly one line
# per zone, or set aside with a logged reason; none lost, none twice.
# Prints: images fed, archived, set aside, lost, duplicated, the journal's
# image rows, images per second, peak memory of the watch.
set -u
COUNT=${1:-1000}
BUILD=${2:-$(dirname "$0")/../build}
BUILD=$(cd "$BUILD" && pwd)
TOOL=$BUILD/kelvarin2-cli
ROOT=$(mktemp -d /tmp/kelvarin2-soak.XXXXXX)
trap 'rm -rf "$ROOT"' EXIT
BUFFER=$ROOT/buffer
WORK=$ROOT/work
FAKEBIN=$ROOT/fakebin
FLAG=$ROOT/zip-fails
mkdir -p "$BUFFER" "$WORK" "$FAKEBIN"

"$BUILD/kelvarin2-samples" "$ROOT/samples" >/dev/null || exit 1
SAMPLES=()
for f in "$ROOT"/samples/images/*.bmp; do
    case $f in *_005.bmp) continue ;; esac   # its faded target would leave a zone without a line
    SAMPLES+=("$f")
done
ZONES=$ROOT/samples/zones.zon
ZONE_COUNT=$(grep -c . "$ZONES")
cat > "$ROOT/settings.ini" <<INI
[Parameters]
WorkDir=$WORK
ZonesFileName=$ZONES
SaveToOneZip=1
NeedVisualization=0
INI
# Inherit the detection settings of the samples.
grep -E '^(MinSCount|MaxSCount|AverageYPorog|GlobalAverageYPercent)=' \
    "$ROOT/samples/config/kelvarin2/Kelvarin2.ini" >> "$ROOT/settings.ini" || true

cat > "$FAKEBIN/zip" <<SH
#!/bin/sh
if [ -e "$FLAG" ]; then echo "zip error: injected failure" >&2; exit 15; fi
exec /usr/bin/zip "\$@"
SH
chmod +x "$FAKEBIN/zip"

JOURNAL=$WORK/kelvarin2-journal.sqlite
# Holds the journal's write lock for $1 seconds from another process; returns
# once the lock is held.
lock_journal() {
    local held=$ROOT/journal-locked
    rm -f "$held"
    printf 'BEGIN EXCLUSIVE;\n.shell touch %s\n.shell sleep %s\nCOMMIT;\n' "$held" "$1" \
        | sqlite3 "$JOURNAL" > /dev/null 2>> "$ROOT/lock.err" &
    local t=0
    while [ ! -e "$held" ] && [ "$t" -lt 100 ]; do sleep 0.1; t=$((t + 1)); done
    [ -e "$held" ] || echo "the journal could not be locked"
}

MOVED=$ROOT/moved
mkdir -p "$MOVED"
start_watch() {
    PATH=$FAKEBIN:$PATH "$TOOL" watch --settings "$ROOT/settings.ini" "$BUFFER" \
        >> "$ROOT/watch.out" 2>> "$ROOT/watch.err" &
    WATCH=$!
    sleep 1
}
STATUS=0
stop_watch() {
    kill -INT $WATCH
    wait $WATCH
    local status=$?
    [ "$status" -eq 0 ] || STATUS=$status
}
start_watch
START=$(date +%s.%N)

# A second watch on the same working directory (another buffer) is refused.
mkdir -p "$ROOT/buffer2"
"$TOOL" watch --settings "$ROOT/settings.ini" "$ROOT/buffer2" > /dev/null 2> "$ROOT/second.err"
SECOND=$?
SECOND_REFUSED=0
[ "$SECOND" -eq 2 ] && grep -q "занята: в ней работает процесс $WATCH " "$ROOT/second.err" && SECOND_REFUSED=1

DAMAGED=0; READONLY=0; HELD=0; REUSED=0
PEAK=0
sample_peak() {
    local hwm
    hwm=$(awk '/VmHWM/ {print $2}' /proc/$WATCH/status 2>/dev/null)
    [ -n "$hwm" ] && [ "$hwm" -gt "$PEAK" ] && PEAK=$hwm
}
for ((i = 1; i <= COUNT; i++)); do
    src=${SAMPLES[$((i % ${#SAMPLES[@]}))]}
    name=$(printf 'img_%05d.bmp' "$i")
    case $((i % 50)) in
    7)  head -c 30 "$src" > "$BUFFER/$name"; DAMAGED=$((DAMAGED + 1)) ;;
    13) cp "$src" "$BUFFER/$name"; chmod 444 "$BUFFER/$name"; READONLY=$((READONLY + 1)) ;;
    21) size=$(stat -c %s "$src")
        { head -c $((size / 2)) "$src"; sleep 0.4; tail -c +$((size / 2 + 1)) "$src"; } > "$BUFFER/$name"
        HELD=$((HELD + 1)) ;;
    29) while [ -e "$BUFFER/dup.bmp" ]; do sleep 0.05; done
        cp "$src" "$BUFFER/dup.bmp"; REUSED=$((REUSED + 1)) ;;
    *)  cp "$src" "$BUFFER/$name" ;;
    esac
    if [ "$i" -eq $((COUNT / 3)) ]; then
        touch "$FLAG"; (sleep 15; rm -f "$FLAG") &
    fi
    if [ "$i" -eq $((COUNT / 2)) ]; then
        # Results moved away between two watches; the archive stays behind.
        while [ "$(ls "$BUFFER" | grep -c '\.bmp$')" -gt 0 ]; do sleep 0.1; done
        stop_watch
        mv "$WORK"/*_[0-9]*.crd "$WORK"/*_time.log "$MOVED"/
        FIRST_ARCHIVE=$(ls "$WORK"/*.zip | head -1)
        FIRST_SUM=$(md5sum < "$FIRST_ARCHIVE")
        lock_journal 40
        start_watch
    fi
    if [ "$i" -eq $((2 * COUNT / 3)) ] && [ "$(id -u)" -ne 0 ]; then
        chmod 555 "$WORK"; (sleep 15; chmod 755 "$WORK") &
    fi
    # Keep the buffer from running far ahead of the watch, as a camera would.
    while [ "$(ls "$BUFFER" | grep -c '\.bmp$')" -gt 20 ]; do sleep 0.1; sample_peak; done
    sample_peak
done
wait_buffer() {
    for ((t = 0; t < 400; t++)); do
        [ "$(ls "$BUFFER" | grep -c '\.bmp$')" -eq 0 ] && return 0
        sleep 0.5; sample_peak
    done
    return 1
}
wait_buffer || echo "buffer not empty after waiting: $(ls "$BUFFER")"
END=$(date +%s.%N)
sample_peak
stop_watch

# ---- checks: every base's archive against its coordinate files (moved or not)
FAIL=0
ARCHIVED=0; UNIQUE_TOTAL=0; LINES_OVER=0
for archive in "$WORK"/*.zip; do
    base=$(basename "$archive" .zip)
    crd_dir=$WORK; [ -e "$WORK/${base}_1.crd" ] || crd_dir=$MOVED
    entries=$(unzip -Z1 "$archive" 2>/dev/null | wc -l)
    unique=$(unzip -Z1 "$archive" 2>/dev/null | sort -u | wc -l)
    ARCHIVED=$((ARCHIVED + entries)); UNIQUE_TOTAL=$((UNIQUE_TOTAL + unique))
    for ((z = 1; z <= ZONE_COUNT; z++)); do
        lines=$(grep -c . "$crd_dir/${base}_$z.crd")
        numbers=$(cut -f1 "$crd_dir/${base}_$z.crd" | sort -u | wc -l)
        if [ "$lines" -ne "$entries" ] || [ "$numbers" -ne "$lines" ]; then
            echo "$base zone $z: $lines lines ($numbers numbers) for $entries archived images"; FAIL=1
            [ "$lines" -gt "$entries" ] && LINES_OVER=$((LINES_OVER + lines - entries))
        fi
    done
done
ASIDE=$(ls "$BUFFER/Отложенные" 2>/dev/null | wc -l)
LOGGED_ASIDE=$(grep -c 'отложено в папку' "$WORK/kelvarin2-events.log" 2>/dev/null || echo 0)
LOST=$((COUNT - ARCHIVED - ASIDE)); [ "$LOST" -lt 0 ] && LOST=0
DUPLICATED=$((ARCHIVED + ASIDE - COUNT + ARCHIVED - UNIQUE_TOTAL + LINES_OVER)); [ "$DUPLICATED" -lt 0 ] && DUPLICATED=0
[ "$UNIQUE_TOTAL" -eq "$ARCHIVED" ] || { echo "names twice in an archive"; FAIL=1; }
[ "$LOST" -eq 0 ] && [ "$DUPLICATED" -eq 0 ] || { echo "lost $LOST, duplicated $DUPLICATED"; FAIL=1; }
[ "$LOGGED_ASIDE" -eq "$ASIDE" ] || { echo "set aside $ASIDE, logged $LOGGED_ASIDE"; FAIL=1; }
[ "$STATUS" -eq 0 ] || { echo "watch exit status $STATUS"; FAIL=1; }
[ "$SECOND_REFUSED" -eq 1 ] || { echo "second watch on the working directory not refused (status $SECOND)"; FAIL=1; }
if [ -n "${FIRST_ARCHIVE:-}" ] && [ "$(md5sum < "$FIRST_ARCHIVE")" != "$FIRST_SUM" ]; then
    echo "the first watch's archive changed after its results were moved away"; FAIL=1
fi
[ "$(ls "$WORK"/*.zip | wc -l)" -eq 2 ] || { echo "expected two archives: $(ls "$WORK"/*.zip)"; FAIL=1; }
# What the journal holds once every lock is gone: one image row per image fed
# (set-aside images included), each name once.
wait
journal_count() { sqlite3 "$JOURNAL" "$1" 2>/dev/null || echo "?"; }
JOURNAL_ROWS=$(journal_count "SELECT count(*) FROM images;")
JOURNAL_NAMES=$(journal_count "SELECT count(DISTINCT name) FROM images;")
JOURNAL_ARCHIVED=$(journal_count "SELECT count(*) FROM images WHERE fate = 'archived';")
JOURNAL_ASIDE=$(journal_count "SELECT count(*) FROM images WHERE fate = 'set_aside';")
ELAPSED=$(echo "$END - $START" | bc)
echo "machine: $(nproc) cores, $(. /etc/os-release; echo "$PRETTY_NAME")"
echo "images fed: $COUNT (damaged $DAMAGED, read-only $READONLY, held open $HELD, reused name $REUSED)"
echo "archived: $ARCHIVED, set aside: $ASIDE (logged $LOGGED_ASIDE), lost: $LOST, duplicated: $DUPLICATED"
echo "second watch on the same working directory: $([ "$SECOND_REFUSED" -eq 1 ] && echo refused || echo "NOT refused ($SECOND)")"
echo "journal rows: $JOURNAL_ROWS images ($JOURNAL_ARCHIVED archived, $JOURNAL_ASIDE set aside, $JOURNAL_NAMES names)"
echo "event log lines: $(wc -l < "$WORK/kelvarin2-events.log" 2>/dev/null || echo 0)"
echo "elapsed: ${ELAPSED}s, images per second: $(echo "scale=2; $COUNT / $ELAPSED" | bc)"
echo "peak memory of the watch (VmHWM): $((PEAK / 1024)) MB"
[ "$FAIL" -eq 0 ] && echo "soak: PASS" || echo "soak: FAIL"
exit $FAIL
