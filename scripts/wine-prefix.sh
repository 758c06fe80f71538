#!/bin/sh
# The private Wine prefix of one ctest run (the `wine_prefix` fixture).
#   wine-prefix.sh setup DIR    create DIR afresh and keep its wineserver running
#   wine-prefix.sh cleanup DIR  stop that wineserver and remove DIR
# Never asks anything: no display is needed (the Mono and Gecko installers are
# switched off), and nothing is read from standard input.
set -eu
action=$1
prefix=$2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
unset DISPLAY
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
loader=${CORVO_WINE:-/usr/lib/wine/wine64}
case "$action" in
setup)
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
    mkdir -p "$prefix"
    # Persistent: the server stays until cleanup, so no test pays its start.
    # Its standard streams must not be the test run's, or ctest would wait for it.
    "$wineserver" -p </dev/null >/dev/null 2>&1
    "$loader" wineboot --init </dev/null >/dev/null 2>&1
    # Without a display, Wine refuses top-level windows ("no driver could be
    # loaded"); its null graphics driver gives real windows and messages with
    # nothing drawn. It takes effect for a new server.
    "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
    "$wineserver" -p </dev/null >/dev/null 2>&1
    # The prefix is ready when a program runs in it.
    "$loader" cmd /c exit 0 </dev/null >/dev/null 2>&1
    echo "wine prefix ready: $prefix"
    ;;
cleanup)
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
    rm -rf "$prefix"
    ;;
*)
    echo "usage: $0 setup|cleanup DIR" >&2
    exit 2
    ;;
esac
