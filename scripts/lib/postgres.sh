# Sourced by the test scripts (after sandbox.sh) and scripts/bench: a throw-away PostgreSQL cluster for the tests of the
# server's PostgreSQL store, in a temporary folder, on 127.0.0.1 and a socket in that folder, stopped
# and removed when the script exits. The tests get its address in TALLYHAWK_TEST_POSTGRES (each test
# makes a database of its own there) and say they were skipped without it. With
# TALLYHAWK_REQUIRE_POSTGRES=1 (as in CI) a cluster that cannot start ends the script.
pg_bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
unset TALLYHAWK_TEST_POSTGRES

pg_fail() {
    echo "postgres: $*" >&2
    if [ "${TALLYHAWK_REQUIRE_POSTGRES:-0}" = 1 ]; then
        exit 1
    fi
    echo "postgres: the PostgreSQL tests will be skipped" >&2
}

pg_start() {
    if [ -z "$pg_bin" ] || [ ! -x "$pg_bin/initdb" ] || [ ! -x "$pg_bin/pg_ctl" ]; then
        pg_fail "no initdb and pg_ctl (scripts/install-deps installs the postgresql package)"
        return 0
    fi
    # Under /tmp rather than the sandbox: a socket's path must stay short.
    pg_dir="$(mktemp -d /tmp/tallyhawk-pg.XXXXXX)"
    # initdb refuses to run as root: the cluster then runs as nobody, in a folder of its own.
    pg_as=()
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody: "$pg_dir"
        pg_as=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
    fi
    if ! "${pg_as[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -A trust -U tallyhawk -E UTF8 --no-sync \
        --no-instructions >"$pg_dir/initdb.log" 2>&1; then
        cat "$pg_dir/initdb.log" >&2
        pg_fail "initdb failed"
        return 0
    fi
    pg_port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
    # Durability is of no use to a cluster thrown away after the run.
    if ! "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -w -t 60 \
        -o "-k $pg_dir -p $pg_port -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=400" \
        start >/dev/null; then
        cat "$pg_dir/server.log" >&2
        pg_fail "the cluster did not start"
        return 0
    fi
    export TALLYHAWK_TEST_POSTGRES="postgresql://tallyhawk@127.0.0.1:$pg_port/postgres"
}

pg_stop() {
    if [ -n "${pg_dir:-}" ] && [ -d "$pg_dir/data" ]; then
        "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    [ -z "${pg_dir:-}" ] || rm -rf "$pg_dir"
}

# A new empty database on the cluster; prints its URI.
pg_database() {
    "$pg_bin/createdb" -h 127.0.0.1 -p "$pg_port" -U tallyhawk "$1"
    echo "postgresql://tallyhawk@127.0.0.1:$pg_port/$1"
}

# Stopped on the way out, before sandbox.sh's folders go (where it was sourced).
trap 'pg_stop; [ -z "${sandbox:-}" ] || rm -rf "$sandbox"' EXIT
pg_start
