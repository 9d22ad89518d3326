#!/usr/bin/env bash
# Starts a throw-away PostgreSQL cluster for the journal tests: initdb in a
# temporary directory, run as the "postgres" user, listening on a unix socket
# in that directory only (no TCP). Source it; it exports KELVARIN_TEST_PG and
# stops the server and removes the directory when the calling shell exits.
# Without PostgreSQL installed it says so and exports nothing.
kelvarin_pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$kelvarin_pg_bin" ] || [ ! -x "$kelvarin_pg_bin/initdb" ]; then
    echo "test-postgres: PostgreSQL is not installed; the journal's PostgreSQL tests will not run" >&2
    return 0 2>/dev/null || exit 0
fi
kelvarin_pg_dir=$(mktemp -d /tmp/kelvarin-pg.XXXXXX)
chmod 755 "$kelvarin_pg_dir"
kelvarin_pg_run=()
if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$kelvarin_pg_dir"
    kelvarin_pg_run=(runuser -u postgres --)
fi
kelvarin_pg_stop() {
    "${kelvarin_pg_run[@]}" "$kelvarin_pg_bin/pg_ctl" -D "$kelvarin_pg_dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$kelvarin_pg_dir"
}
trap kelvarin_pg_stop EXIT
if "${kelvarin_pg_run[@]}" "$kelvarin_pg_bin/initdb" -D "$kelvarin_pg_dir/data" -U postgres -A trust \
        --no-sync >"$kelvarin_pg_dir/initdb.log" 2>&1 \
   && "${kelvarin_pg_run[@]}" "$kelvarin_pg_bin/pg_ctl" -D "$kelvarin_pg_dir/data" -l "$kelvarin_pg_dir/server.log" -w \
        -o "-c listen_addresses='' -c unix_socket_directories='$kelvarin_pg_dir' -c fsync=off" start >/dev/null \
   && "${kelvarin_pg_run[@]}" "$kelvarin_pg_bin/createdb" -h "$kelvarin_pg_dir" -U postgres kelvarin_test; then
    export KELVARIN_TEST_PG="postgresql://postgres@/kelvarin_test?host=$kelvarin_pg_dir"
    echo "test-postgres: server on $kelvarin_pg_dir" >&2
else
    echo "test-postgres: the server could not be started:" >&2
    cat "$kelvarin_pg_dir"/*.log >&2 2>/dev/null || true
fi
