#!/usr/bin/env bash
# Takes the screenshots of both windows under Xvfb (a real X server, no window manager, so no
# title bars): the table manager on a MySQL database and a private SQL Server test double, each
# holding the sample tables, and the setup window with every box filled in.
#   docs/screenshots/take.sh [build folder]     (default: build)
# Needs the local MariaDB of scripts/servers and the built program and test double.
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$root/docs/screenshots"
# shellcheck disable=SC1091
source "$root/build/local-servers.env"
work="$(mktemp -d)"
db="fq_screens_$$"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

cleanup() {
    [ -n "${double_pid:-}" ] && kill "$double_pid" 2>/dev/null || true
    mariadb --no-defaults --socket="$MYSQL_SOCKET" -uroot -e "DROP DATABASE IF EXISTS $db" || true
    rm -rf "$work"
}
trap cleanup EXIT

mariadb --no-defaults --socket="$MYSQL_SOCKET" -uroot -e "CREATE DATABASE $db"
mariadb --no-defaults --socket="$MYSQL_SOCKET" -uroot "$db" <"$root/scripts/samples-mysql.sql"

double="$build/tools/tds-test-server/tds-test-server"
[ -x "$double" ] || double="$root/build/tools/tds-test-server/tds-test-server"
"$double" --port "$port" --account "fq:Fq_Secret1" \
    --database fernquill --log "$work/statements.log" --ready-file "$work/ready" \
    --script "$root/scripts/samples-mssql.sql" </dev/null >"$work/double.log" 2>&1 &
double_pid=$!
for _ in $(seq 1 100); do [ -f "$work/ready" ] && break; sleep 0.1; done
if [ ! -f "$work/ready" ]; then
    echo "screenshots: the SQL Server test double did not start:" >&2
    cat "$work/double.log" >&2
    exit 1
fi

settings() { # folder, MySQL password
    mkdir -p "$1/Marrowind"
    printf '[Fernquill]\nMyServer=%s\nMyUser=%s\nMyPassword=%s\nMyDatabase=%s\nMSServer="%s"\nMSUser=fq\nMSPassword=Fq_Secret1\nMSDatabase=fernquill\n' \
        "$MyServer" "$MyUser" "$2" "$db" "127.0.0.1,$port" >"$1/Marrowind/Fernquill.ini"
}

shoot() { # settings folder, output file
    XDG_CONFIG_HOME="$1" xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        "$0" & pid=$!
        sleep 4
        import -window root "$1"
        kill $pid' "$build/app/fernquill" "$work/root.png"
    /usr/bin/convert "$work/root.png" -trim +repage "$2"
}

settings "$work/manager" "$MyPassword"
shoot "$work/manager" "$out/table-manager.png"
# A refused MySQL login keeps the start-up on the setup window, with every box filled in.
settings "$work/setup" "not-the-password"
shoot "$work/setup" "$out/setup-connections.png"
echo "screenshots: $out/table-manager.png $out/setup-connections.png"
