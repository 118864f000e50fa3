#!/usr/bin/env bash
# Fails when a source file includes a layer above its own. The layers, from the bottom:
#   odbc/          the database access component: nothing of the program's own
#   sql/           SQL text: odbc/
#   settings/, ui/ the settings store and the seams the commands see: nothing of the program's own
#   ui/qt/         the seams' Qt side: ui/
#   commands/      what the buttons run: odbc/, sql/, settings/, ui/ (never ui/qt/)
#   app/           the windows: everything above
# It also fails when a CMake file exposes the whole source root as an include path.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

status=0
check() {
    local folder="$1" allowed=" $2 " exclude="${3:-}" file line target
    while IFS=: read -r file line; do
        if [ -n "$exclude" ] && [[ $file == "$exclude"/* ]]; then continue; fi
        [[ $line =~ ^\#include\ \"([^/\"]+(/qt)?)/ ]]
        target="${BASH_REMATCH[1]}"
        if [[ $allowed != *" $target "* ]]; then
            echo "layers: $file includes $target/ ($line), above its layer" >&2
            status=1
        fi
    done < <(grep -rE --include='*.h' --include='*.cpp' '^#include "(odbc|sql|settings|ui|commands|app)/' "$folder")
}
check odbc "odbc"
check sql "sql odbc"
check settings "settings"
check ui "ui" ui/qt
check ui/qt "ui ui/qt"
check commands "commands odbc sql settings ui"
check app "app commands odbc sql settings ui ui/qt"

if grep -rn --include=CMakeLists.txt --exclude-dir='build*' --exclude-dir=.git \
    -E 'include_directories\([^)]*(PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR)\}?\s*\)' .; then
    echo "layers: a target exposes the whole source root as an include path" >&2
    status=1
fi
[ $status -eq 0 ] && echo "layers: every include stays within its layer or below"
exit $status
