#!/bin/sh
# Both builds of the module registered for one user at once, as a user of
# 64-bit Windows has them: a 32-bit host (Wine's 32-bit cscript) must get the
# i686 DLL and a 64-bit host the x86_64 one, each reaching the control through
# the type library; unregistering either leaves the other registered and
# working, in either order; nothing of the module is left at the end
# (docs/registration.md).
#   side_by_side_test.sh WINE32 DLL32 WINE64 DLL64 CLIENT.js
set -eu
wine32=$1
dll32=$2
wine64=$3
dll64=$4
client=$5
work=$(mktemp -d)
. "$(dirname "$0")/machine_classes.sh"

status=0
fail() {
    echo "FAILED: $*"
    status=1
}

# The default value of a key in one loader's registry view, or "(none)".
value() {
    "$1" reg query "$2" /ve 2>/dev/null | tr -d '\r' |
        awk '/REG_SZ/ { sub(/^.*REG_SZ[ \t]+/, ""); print; found = 1 } END { if (!found) print "(none)" }'
}

clsid='HKCU\Software\Classes\CLSID\{98EF2EC8-D064-491a-8111-3285E786E832}\InprocServer32'
typelib='HKCU\Software\Classes\TypeLib\{9AAF5B5F-9BAC-446c-9CFE-88893E8BE925}\1.0'
progid='HKCU\Software\Classes\CorvoSSOLoginM.SSOLoginCtrl\CLSID'
path32=$("$wine32" winepath -w "$dll32" 2>/dev/null | tr -d '\r')
path64=$("$wine64" winepath -w "$dll64" 2>/dev/null | tr -d '\r')

# check_keys WHEN CLASS WIN32 WIN64: the module the class key names, and the
# modules the type library's "0\win32" and "0\win64" keys name (a path or
# "(none)"). Wine 8 keeps one HKCU\Software\Classes for both views, so the
# class key is the one of the module registered last (on 64-bit Windows 7 and
# later each view has its own); the type library's keys are shared on both.
expect_value() {
    got=$(value "$wine64" "$2")
    [ "$got" = "$3" ] || fail "$1: $2 is $got, not $3"
}
check_keys() {
    expect_value "$1" "$clsid" "$2"
    expect_value "$1" "$typelib\\0\\win32" "$3"
    expect_value "$1" "$typelib\\0\\win64" "$4"
    if [ "$2" = "(none)" ]; then
        expect_value "$1" "$progid" "(none)"
    else
        expect_value "$1" "$progid" "$clsid_text"
    fi
}

# Wine's COM runtime reads HKLM\Software\Classes only, whose class keys Wine
# does keep per view. A module's keys are copied there, into its loader's view,
# right after it registered: what each view of HKCU holds on Windows.
# Unregistering takes every copy away and copies again for the module that
# stays.
register() {
    "$1" regsvr32 /s "$2"
    mirror_user_classes "$1" "$work"
}
unregister() {
    "$1" regsvr32 /s /u "$2"
    for wine in "$wine32" "$wine64"; do remove_machine_classes "$wine"; done
    mirror_user_classes "$3" "$work"
}

# expect_host WHEN WINE BITS: the JScript client in that loader's cscript
# creates the control and calls it through the type library. (A host whose
# own bitness has no module is not asked: Wine's COM runtime then starts a
# surrogate process of the other bitness for the DLL, which Windows does only
# for classes that ask for one.)
expect_host() {
    run_script_client "$2" "$client" "$work/out" ||
        { cat "$work/out"; fail "$1: the $3-bit host cannot use the control"; }
}

cleanup() {
    for wine in "$wine32" "$wine64"; do remove_machine_classes "$wine"; done
    "$wine32" regsvr32 /s /u "$dll32" >/dev/null 2>&1 || true
    "$wine64" regsvr32 /s /u "$dll64" >/dev/null 2>&1 || true
}
trap 'cleanup; rm -rf "$work"' EXIT
cleanup

clsid_text='{98EF2EC8-D064-491a-8111-3285E786E832}'
register "$wine32" "$dll32"
register "$wine64" "$dll64"
check_keys "32-bit, then 64-bit registered" "$path64" "$path32" "$path64"
expect_host "both registered" "$wine32" 32
expect_host "both registered" "$wine64" 64

unregister "$wine32" "$dll32" "$wine64"
check_keys "32-bit unregistered" "$path64" "(none)" "$path64"
expect_host "32-bit unregistered" "$wine64" 64

register "$wine32" "$dll32"
check_keys "64-bit, then 32-bit registered" "$path32" "$path32" "$path64"
unregister "$wine64" "$dll64" "$wine32"
check_keys "64-bit unregistered" "$path32" "$path32" "(none)"
expect_host "64-bit unregistered" "$wine32" 32

"$wine32" regsvr32 /s /u "$dll32"
check_keys "both unregistered" "(none)" "(none)" "(none)"
for wine in "$wine32" "$wine64"; do
    "$wine" reg export 'HKCU\Software\Classes' "$work/left.reg" /y >/dev/null 2>&1
    iconv -f UTF-16LE -t UTF-8 "$work/left.reg" | tr -d '\r' | grep -E "^\[.*($MODULE_KEYS)" &&
        fail "unregistering both left the keys above"
done
[ $status -eq 0 ] && echo "side-by-side registration ok"
exit $status
