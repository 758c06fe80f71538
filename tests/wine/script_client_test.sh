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

"$wine" regsvr32 /s "$dll"
"$wine" reg export 'HKCU\Software\Classes' "$work/user.reg" /y >/dev/null 2>&1
{
    printf '\357\273\277Windows Registry Editor Version 5.00\n\n'
    iconv -f UTF-16LE -t UTF-8 "$work/user.reg" | tr -d '\r' | sed '1d' | awk '
        /^\[/ { keep = ($0 ~ /B88AEC8F|CorvoSSOLogin|98EF2EC8|9AAF5B5F|C50AB1A1|6A4F7929|6172E04B/) }
        keep { sub(/^\[HKEY_CURRENT_USER\\/, "[HKEY_LOCAL_MACHINE\\"); print }'
} | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE > "$work/machine.reg"
"$wine" reg import "$work/machine.reg" >/dev/null 2>&1

cleanup() {
    for key in 'CorvoSSOLoginM.SSOLoginCtrl' 'CorvoSSOLoginM.SSOLoginCtrl.1' \
        'CLSID\{98EF2EC8-D064-491a-8111-3285E786E832}' 'TypeLib\{9AAF5B5F-9BAC-446c-9CFE-88893E8BE925}' \
        'Interface\{C50AB1A1-065A-449A-A22D-17D46BFF3B04}' 'Interface\{6A4F7929-9E32-403A-BA8B-9C8988CF8555}' \
        'Interface\{6172E04B-3944-4402-81C5-835624897083}' 'AppID\{B88AEC8F-38BB-4c82-8172-9E0263A58920}' \
        'AppID\CorvoSSOLogin.DLL'; do
        "$wine" reg delete "HKLM\\Software\\Classes\\$key" /f >/dev/null 2>&1 || true
    done
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
        # A Windows path: cscript would take "/work/..." for a switch.
        script=$("$wine" winepath -w "$client" 2>/dev/null | tr -d '\r')
        "$wine" cscript //nologo "$script" | tr -d '\r' > "$work/out" 2>&1 || true
        cat "$work/out"
        if [ "$(tail -n 1 "$work/out")" != "ok" ]; then
            echo "FAILED: $client"
            status=1
        fi
        ;;
    esac
done
exit $status
