#!/bin/sh
# Clients nobody here wrote, while the module is registered: Wine's cscript
# runs JScript files that create the control by ProgID and call it by name
# through the type library (each prints one line per check and "ok" last when
# every check passed); test programs (.exe) read the registered type library
# with the system's reader, in a process whose ANSI code page is 936
# (LC_ALL=zh_CN.UTF-8), the code page of its help strings.
#   script_client_test.sh WINE DLL CLIENT.js|CLIENT.exe...
#
# The DLL registers itself for the current user (HKCU\Software\Classes).
# Wine's COM runtime looks classes up in HKLM\Software\Classes only, so the
# module's keys are copied there for the run and removed afterwards
# (docs/platforms.md).
set -eu
wine=$1
dll=$2
shift 2
work=$(mktemp -d)

. "$(dirname "$0")/machine_classes.sh"
"$wine" regsvr32 /s "$dll"
mirror_user_classes "$wine" "$work"

cleanup() {
    remove_machine_classes "$wine"
    "$wine" regsvr32 /s /u "$dll" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

status=0
for client in "$@"; do
    case "$client" in
    *.exe)
        LC_ALL=zh_CN.UTF-8 "$wine" "$client" || { echo "FAILED: $client"; status=1; }
        ;;
    *)
        ok=0
        run_script_client "$wine" "$client" "$work/out" || ok=1
        cat "$work/out"
        [ $ok -eq 0 ] || { echo "FAILED: $client"; status=1; }
        ;;
    esac
done
exit $status
