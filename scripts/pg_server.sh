#!/usr/bin/env bash
# A PostgreSQL server of its own in a folder, for the tests and for trying the results
# store by hand. The server refuses to run as root: as root it runs as the postgres user.
#
#   scripts/pg_server.sh start DIR PORT   first start makes the cluster and the database "results"
#   scripts/pg_server.sh stop DIR         fast shutdown
#
# The server listens on 127.0.0.1:PORT only, password authentication (scram): user
# ${PGUSER:-btstore}, password ${PGPASSWORD:-btstore-test}. Clients find both in the same
# PGUSER / PGPASSWORD variables.
set -euo pipefail
cmd=${1:?start or stop}
dir=${2:?folder}
bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bindir/initdb" ] || { echo "pg_server: no PostgreSQL server installed (scripts/deps.sh)" >&2; exit 1; }
user=${PGUSER:-btstore}
password=${PGPASSWORD:-btstore-test}

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$cmd" in
start)
    port=${3:?port}
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    if [ ! -f "$dir/data/PG_VERSION" ]; then
        as_owner sh -c "umask 077; printf '%s\n' '$password' > '$dir/pw'"
        as_owner "$bindir/initdb" -D "$dir/data" -U "$user" --pwfile="$dir/pw" --no-sync \
            --auth=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
            { cat "$dir/initdb.log" >&2; exit 1; }
        rm -f "$dir/pw"
        fresh=1
    fi
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=60" \
        start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    if [ "${fresh:-0}" = 1 ]; then
        PGPASSWORD=$password "$bindir/createdb" -h 127.0.0.1 -p "$port" -U "$user" results
    fi
    ;;
stop)
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
*)
    echo "usage: pg_server.sh start DIR PORT | stop DIR" >&2; exit 64 ;;
esac
