#!/bin/sh
# Registration of CorvoSSOLogin.dll with Wine's own regsvr32, checked with
# Wine's reg: registering writes exactly the keys of the registry scripts 101
# and 102 and of the type library below HKCU\Software\Classes, registering
# twice leaves one set, unregistering removes them all. In the expected keys
# %PLATFORM% is the type library's platform (win32, win64).
#   registration_test.sh WINE DLL EXPECTED_KEYS_FILE PLATFORM
set -eu
wine=$1
dll=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/machine_classes.sh"
sed "s/%PLATFORM%/$4/" "$3" > "$work/expected"
expected=$work/expected

# The keys (one "[path]" line each, values below it) of HKCU\Software\Classes
# that belong to the module, with the module's path written as %MODULE%.
dump() {
    rm -f "$work/export.reg"
    "$wine" reg export 'HKCU\Software\Classes' "$work/export.reg" /y >/dev/null 2>&1 || true
    [ -f "$work/export.reg" ] || { echo "(no HKCU\\Software\\Classes)"; return; }
    # The module's path as the .reg file writes it (each "\" doubled).
    MODULE_TEXT=$("$wine" winepath -w "$dll" 2>/dev/null | tr -d '\r' | sed 's/\\/\\\\/g')
    HELPDIR_TEXT=$(printf '%s' "$MODULE_TEXT" | sed 's/[^\\]*$//')
    export MODULE_TEXT HELPDIR_TEXT
    iconv -f UTF-16LE -t UTF-8 "$work/export.reg" | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//' |
        awk '
            function replace(text, what, with,    i) {
                while (what != "" && (i = index(text, what)) > 0)
                    text = substr(text, 1, i - 1) with substr(text, i + length(what))
                return text
            }
            /^\[/ { keep = ($0 ~ ENVIRON["MODULE_KEYS"]) }
            keep && NF {
                line = replace($0, ENVIRON["MODULE_TEXT"], "%MODULE%")
                print replace(line, ENVIRON["HELPDIR_TEXT"], "%HELPDIR%")
            }'
}

"$wine" regsvr32 /s /u "$dll" >/dev/null 2>&1 || true
dump > "$work/before"
"$wine" regsvr32 /s "$dll"
dump > "$work/once"
"$wine" regsvr32 /s "$dll"
dump > "$work/twice"
"$wine" regsvr32 /s /u "$dll"
dump > "$work/after"

status=0
if ! diff -u "$expected" "$work/once"; then
    echo "registration: the keys differ from $3"; status=1
fi
if ! diff -u "$work/once" "$work/twice"; then
    echo "registering twice left other keys than once"; status=1
fi
if [ -s "$work/after" ]; then
    echo "unregistering left keys:"; cat "$work/after"; status=1
fi
[ $status -eq 0 ] && echo "registration ok"
exit $status
