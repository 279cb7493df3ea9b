#!/bin/sh
# wine_run.sh PROGRAM.exe [ARGUMENT...]: runs a Windows program under wine, in the build's own
# wine prefix (build-windows/wine, or $WINEPREFIX), as ctest does for every Windows test.
# The prefix is made on first use, and a wine server is kept running for it (until a minute
# after its last program), started apart from the caller's streams: a server or its services
# started by a test would hold ctest's output pipe open (the test never ends), and without a
# server kept each program would start 2.5 s slower.
set -e
repo=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$repo/build-windows/wine}"
# winemenubuilder would copy a Start-menu shortcut into the Linux desktop's menus.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$(dirname "$WINEPREFIX")"
# A server starts wine's services (explorer, plugplay...) with its first program, which they
# outlive holding its streams: when it starts here, that first program is cmd.exe, apart.
flock -o "$WINEPREFIX.lock" sh -c '
    [ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i </dev/null >/dev/null 2>&1
    if wineserver -p60 </dev/null >/dev/null 2>&1; then
        wine cmd.exe /c exit </dev/null >/dev/null 2>&1
    fi'
exec wine "$@"
