#!/bin/sh
# The per-user MSI under Wine, in a private prefix: after `msiexec /i /qn`
# the class, type-library and host keys equal what regsvr32 plus
# `corvo-sso.exe browser install` write; corvo-sso.exe users and login work
# from the installed files against corvo-imclient.exe of the build;
# installing twice is installing once; a package of a lower version is
# replaced by the major upgrade, leaving one registration; `msiexec /x`
# leaves no file, folder, key or value of ours.
#   msi_test.sh LOADER MSI STAGE_DIR WIXL_ARGS_FILE WINDOWS_BUILD_DIR
# LOADER is wine64 for the x64 package (the 32-bit loader for an x86 one);
# STAGE_DIR and WIXL_ARGS_FILE are how the package was built (for the lower
# version).
set -u
loader=$1 msi=$2 stage=$3 wixl_args=$4 build=$5
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tests/wine/machine_classes.sh"
for f in "$msi" "$build/module/CorvoSSOLogin.dll" "$build/tools/corvo-sso.exe" \
    "$build/tools/corvo-imclient.exe"; do
    [ -f "$f" ] || { echo "FAIL: $f is missing: run make build-windows package"; exit 1; }
done
work=$(mktemp -d /tmp/corvo-msi-XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" CORVO_WINE="$loader"
unset DISPLAY
client=
cleanup() {
    [ -n "$client" ] && kill "$client" 2>/dev/null && wait "$client" 2>/dev/null
    "$root/scripts/wine-prefix.sh" cleanup "$WINEPREFIX" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
ok() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
wine() { "$loader" "$@" </dev/null; }

"$root/scripts/wine-prefix.sh" setup "$WINEPREFIX" >/dev/null || { echo "FAIL: no Wine prefix"; exit 1; }
local_app=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
installed="$local_app\\CorvoSSO"
installed_unix=$(wine winepath -u "$installed" 2>/dev/null | tr -d '\r')
# Where both `browser install` and the package put the manifests.
hosts_text=$(printf '%s' "$installed\\NativeMessagingHosts" | sed 's/\\/\\\\/g')

# Our keys: the module's (by its GUIDs and names) below HKCU\Software\Classes
# and the four host keys, the module's path written %MODULE%, its folder
# %HELPDIR%.
dump() { # MODULE_WINDOWS_PATH
    module_text=$(printf '%s' "$1" | sed 's/\\/\\\\/g')
    helpdir_text=$(printf '%s' "$module_text" | sed 's/[^\\]*$//')
    for key in 'HKCU\Software\Classes' 'HKCU\Software\Chromium' 'HKCU\Software\Google' \
        'HKCU\Software\Microsoft\Edge' 'HKCU\Software\Mozilla'; do
        rm -f "$work/export.reg"
        wine reg export "$key" "$work/export.reg" /y >/dev/null 2>&1 || continue
        iconv -f UTF-16LE -t UTF-8 "$work/export.reg" | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//'
    done | MODULE_TEXT=$module_text HELPDIR_TEXT=$helpdir_text HOSTS_TEXT=$hosts_text awk '
        function replace(text, what, with,    i) {
            while (what != "" && (i = index(text, what)) > 0)
                text = substr(text, 1, i - 1) with substr(text, i + length(what))
            return text
        }
        /^\[/ { keep = ($0 ~ (ENVIRON["MODULE_KEYS"] "|com\\.corvo\\.sso_login")) }
        keep && NF {
            line = replace($0, ENVIRON["MODULE_TEXT"], "%MODULE%")
            line = replace(line, ENVIRON["HOSTS_TEXT"], "%HOSTS%")
            print replace(line, ENVIRON["HELPDIR_TEXT"], "%HELPDIR%")
        }'
}
leftovers() {
    dump "$installed\\CorvoSSOLogin.dll" >"$work/left"
    [ -s "$work/left" ] && { fail "$1 left keys:"; cat "$work/left"; }
    [ -e "$installed_unix" ] && { fail "$1 left $installed_unix:"; find "$installed_unix"; }
    return 0
}

# What regsvr32 and `browser install` write, with the build's files.
build_dll=$(wine winepath -w "$build/module/CorvoSSOLogin.dll" 2>/dev/null | tr -d '\r')
wine regsvr32 /s "$build/module/CorvoSSOLogin.dll" >/dev/null 2>&1
wine "$build/tools/corvo-sso.exe" browser install >/dev/null 2>&1
dump "$build_dll" >"$work/expected"
grep -q InprocServer32 "$work/expected" && grep -q NativeMessagingHosts "$work/expected" ||
    fail "regsvr32 and browser install wrote nothing"
# The one difference, and why (docs/install.md): wixl cannot store text
# beyond ASCII, so the package writes the type library's help string without
# its last word.
sed -i 's/^@="CorvoSSOLogin 1.0 类型库"$/@="CorvoSSOLogin 1.0"/' "$work/expected"
wine regsvr32 /s /u "$build/module/CorvoSSOLogin.dll" >/dev/null 2>&1
wine "$build/tools/corvo-sso.exe" browser uninstall >/dev/null 2>&1
rm -rf "$installed_unix"
leftovers "regsvr32 /u and browser uninstall"

install() { wine msiexec /i "$1" /qn >"$work/msiexec.log" 2>&1 || { fail "msiexec /i $(basename "$1")"; cat "$work/msiexec.log"; }; }

install "$msi"
dump "$installed\\CorvoSSOLogin.dll" >"$work/once"
if diff -u "$work/expected" "$work/once"; then ok "the installed keys equal regsvr32's and browser install's"
else fail "the installed keys differ from regsvr32's and browser install's"; fi
install "$msi"
dump "$installed\\CorvoSSOLogin.dll" >"$work/twice"
diff -u "$work/once" "$work/twice" >/dev/null && ok "installing twice is installing once" ||
    fail "installing twice differs from once"

# The installed programs against the build's reference client, and the
# project's script client in Wine's cscript. Wine's COM runtime reads the
# machine's classes only: the installed keys are mirrored there for this part.
mirror_user_classes "$loader" "$work"
run_script_client "$loader" "$root/tests/wine/no_site.js" "$work/script.out" </dev/null &&
    ok "the script client reaches the installed control" ||
    { fail "the script client:"; cat "$work/script.out"; }
status=$(wine "$installed\\corvo-sso.exe" browser status 2>&1 | tr -d '\r')
printf '%s\n' "$status" | grep -qi 'missing\|not installed' &&
    fail "browser status after installing: $status"
wine "$build/tools/corvo-imclient.exe" --ready-file "$work/client.ready" \
    --account cnmarketweb_alice --answer-url 'https://login.market.example/welcome' \
    >/dev/null 2>&1 &
client=$!
i=0
while [ ! -e "$work/client.ready" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
users=$(wine "$installed\\corvo-sso.exe" users 2>&1 | tr -d '\r')
printf '%s\n' "$users" | grep -q cnmarketweb_alice && ok "corvo-sso.exe users" ||
    fail "corvo-sso.exe users: $users"
login=$(wine "$installed\\corvo-sso.exe" login cnmarketweb_alice 2>&1 | tr -d '\r')
printf '%s\n' "$login" | grep -q 'https://login.market.example/welcome' && ok "corvo-sso.exe login" ||
    fail "corvo-sso.exe login: $login"
kill "$client" 2>/dev/null; wait "$client" 2>/dev/null; client=
remove_machine_classes "$loader"

wine msiexec /x "$msi" /qn >/dev/null 2>&1 || fail "msiexec /x"
leftovers "msiexec /x"

# A lower version, then this one: the major upgrade leaves one registration.
older="$work/older.msi"
(cd "$stage" && wixl -D Version=0.9.0 -o "$older" $(cat "$wixl_args")) >/dev/null 2>&1 ||
    fail "building the lower version"
install "$older"
install "$msi"
dump "$installed\\CorvoSSOLogin.dll" >"$work/upgraded"
diff -u "$work/once" "$work/upgraded" >/dev/null && ok "an upgrade leaves the same registration" ||
    fail "an upgrade differs from a fresh installation"
wine msiexec /x "$msi" /qn >/dev/null 2>&1 || fail "msiexec /x after the upgrade"
leftovers "msiexec /x after the upgrade (the older package was not replaced)"

[ $failures -eq 0 ] && ok "nothing of ours is left"
exit $((failures > 0))
