#!/bin/sh
# The per-user MSI under Wine, in a private prefix: after `msiexec /i /qn`
# the class, type-library and host keys equal what regsvr32 plus
# `corvo-sso.exe browser install` write; the installed registration is used
# by corvo-sso.exe (users, login) against corvo-imclient.exe of the build and
# by the project's script client, for each bitness the package serves;
# installing twice is installing once; a package of a lower version is
# replaced by the major upgrade, leaving one registration; `msiexec /x`
# leaves no file, folder, key or value of ours.
#   msi_test.sh x64|x86 MSI STAGE_DIR WIXL_ARGS_FILE WIN64_BUILD WIN32_BUILD WINE64 WINE32 [X86_MSI]
# x64: a 64-bit Windows (a WoW64 prefix). The package serves 64-bit and
# 32-bit programs: the expected keys are the 64-bit regsvr32's and the 32-bit
# one's class and interface keys in the 32-bit registry view, and both
# bitnesses are used. X86_MSI, the 32-bit Windows package, must refuse to
# install there. x86: a 32-bit Windows (a win32 prefix, the 32-bit loader).
# STAGE_DIR and WIXL_ARGS_FILE are how the package was built (for the lower
# version).
set -u
arch=$1 msi=$2 stage=$3 wixl_args=$4 build64=$5 build32=$6 wine64=$7 wine32=$8 x86_msi=${9:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tests/wine/machine_classes.sh"
case "$arch" in
x64) loader=$wine64 build=$build64 ;;
x86) loader=$wine32 build=$build32 WINEARCH=win32 && export WINEARCH ;;
*) echo "usage: $0 x64|x86 ..." >&2 && exit 2 ;;
esac
needed="$msi $build/module/CorvoSSOLogin.dll $build/tools/corvo-sso.exe $build/tools/corvo-imclient.exe"
[ "$arch" = x64 ] && needed="$needed $build32/module/CorvoSSOLogin.dll $x86_msi"
for f in $needed; do
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
ok() { printf 'ok   %s\n' "$*"; }
fail() { printf 'FAIL %s\n' "$*"; failures=$((failures + 1)); }
wine() { "$loader" "$@" </dev/null; }
# windows_path FILE [LOADER]: FILE as that loader's programs name it.
windows_path() { "${2:-$loader}" winepath -w "$1" 2>/dev/null </dev/null | tr -d '\r'; }

"$root/scripts/wine-prefix.sh" setup "$WINEPREFIX" >/dev/null || { echo "FAIL: no Wine prefix"; exit 1; }
local_app=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
installed="$local_app\\CorvoSSO"
installed_unix=$(wine winepath -u "$installed" 2>/dev/null | tr -d '\r')
# Where both `browser install` and the package put the manifests.
hosts_text=$(printf '%s' "$installed\\NativeMessagingHosts" | sed 's/\\/\\\\/g')

# Our keys: the module's (by its GUIDs and names) below HKCU\Software\Classes,
# in either registry view, and the four host keys, as sorted lines
# "KEY<tab>VALUE NAME<tab>LINE". The 64-bit module's path is written %MODULE%,
# the 32-bit one's %MODULE32%, the first one's folder %HELPDIR%.
#   dump MODULE_PATH [MODULE32_PATH]   (either may be "")
escaped() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }
dump() {
    module_text=$(escaped "$1")
    module32_text=$(escaped "${2:-}")
    helpdir_text=$(printf '%s' "${module_text:-$module32_text}" | sed 's/[^\\]*$//')
    for key in 'HKCU\Software\Classes' 'HKCU\Software\Chromium' 'HKCU\Software\Google' \
        'HKCU\Software\Microsoft\Edge' 'HKCU\Software\Mozilla'; do
        rm -f "$work/export.reg"
        wine reg export "$key" "$work/export.reg" /y >/dev/null 2>&1 || continue
        # Without its first line, "Windows Registry Editor Version 5.00".
        iconv -f UTF-16LE -t UTF-8 "$work/export.reg" | tr -d '\r' | sed '1d'
    done | MODULE_TEXT=$module_text MODULE32_TEXT=$module32_text HELPDIR_TEXT=$helpdir_text \
        HOSTS_TEXT=$hosts_text awk '
        function replace(text, what, with,    i) {
            while (what != "" && (i = index(text, what)) > 0)
                text = substr(text, 1, i - 1) with substr(text, i + length(what))
            return text
        }
        /^\[/ {
            keep = ($0 ~ (ENVIRON["MODULE_KEYS"] "|com\\.corvo\\.sso_login"))
            key = $0
            if (keep) print key "\t\t"
            next
        }
        keep && NF {
            line = replace($0, ENVIRON["MODULE32_TEXT"], "%MODULE32%")
            line = replace(line, ENVIRON["MODULE_TEXT"], "%MODULE%")
            line = replace(line, ENVIRON["HOSTS_TEXT"], "%HOSTS%")
            line = replace(line, ENVIRON["HELPDIR_TEXT"], "%HELPDIR%")
            print key "\t" substr(line, 1, index(line, "=") - 1) "\t" line
        }' | sort
}
installed_dump() { dump "$installed\\CorvoSSOLogin.dll" "$installed\\x86\\CorvoSSOLogin.dll"; }
leftovers() {
    installed_dump >"$work/left"
    [ -s "$work/left" ] && { fail "$1 left keys:"; cat "$work/left"; }
    [ -e "$installed_unix" ] && { fail "$1 left $installed_unix:"; find "$installed_unix"; }
    return 0
}

# What regsvr32 and `browser install` write, with the build's files. For
# x64, the 32-bit regsvr32's keys too, as 64-bit Windows 7 and later keep
# them: the class and interface keys in the 32-bit view (below Wow6432Node),
# every other key shared, where the 64-bit module's values stand.
build_dll=$(windows_path "$build/module/CorvoSSOLogin.dll")
wine regsvr32 /s "$build/module/CorvoSSOLogin.dll" >/dev/null 2>&1
wine "$build/tools/corvo-sso.exe" browser install >/dev/null 2>&1
dump "$build_dll" >"$work/expected"
grep -q InprocServer32 "$work/expected" && grep -q NativeMessagingHosts "$work/expected" ||
    fail "regsvr32 and browser install wrote nothing"
wine regsvr32 /s /u "$build/module/CorvoSSOLogin.dll" >/dev/null 2>&1
wine "$build/tools/corvo-sso.exe" browser uninstall >/dev/null 2>&1
if [ "$arch" = x64 ]; then
    build32_dll=$(windows_path "$build32/module/CorvoSSOLogin.dll" "$wine32")
    "$wine32" regsvr32 /s "$build32/module/CorvoSSOLogin.dll" </dev/null >/dev/null 2>&1
    dump "" "$build32_dll" |
        sed 's/^\[HKEY_CURRENT_USER\\Software\\Classes\\\(CLSID\|Interface\)\\/[HKEY_CURRENT_USER\\Software\\Classes\\Wow6432Node\\\1\\/' \
            >"$work/expected32"
    grep -q 'Wow6432Node.*%MODULE32%' "$work/expected32" || fail "the 32-bit regsvr32 wrote no class key"
    "$wine32" regsvr32 /s /u "$build32/module/CorvoSSOLogin.dll" </dev/null >/dev/null 2>&1
    cat "$work/expected" "$work/expected32" | awk -F '\t' '!seen[$1 FS $2]++' | sort >"$work/both"
    mv "$work/both" "$work/expected"
fi
rm -rf "$installed_unix"
leftovers "regsvr32 /u and browser uninstall"

install() {
    wine msiexec /i "$1" /qn >"$work/msiexec.log" 2>&1 ||
        { fail "msiexec /i $(basename "$1")"; cat "$work/msiexec.log"; }
}
if [ "$arch" = x64 ]; then
    # The 32-bit Windows package refuses a 64-bit Windows.
    wine msiexec /i "$x86_msi" /qn >/dev/null 2>&1 && fail "the x86 package installed on 64-bit Windows" ||
        ok "the x86 package refuses 64-bit Windows"
    leftovers "the refused x86 package"
    # Every 64-bit Windows 7 or later has the 32-bit view of the user's
    # classes; a new Wine prefix does not, and Wine keeps a view for 32-bit
    # programs only below a key that has one (docs/registration.md).
    wine reg add 'HKCU\Software\Classes\Wow6432Node' /f >/dev/null 2>&1
fi

install "$msi"
installed_dump >"$work/once"
if diff -u "$work/expected" "$work/once"; then ok "the installed keys equal regsvr32's and browser install's"
else fail "the installed keys differ from regsvr32's and browser install's"; fi
install "$msi"
installed_dump >"$work/twice"
diff -u "$work/once" "$work/twice" >/dev/null && ok "installing twice is installing once" ||
    fail "installing twice differs from once"

# The installed programs against the build's reference client, and the
# project's script client in Wine's cscript, for each bitness. Wine's COM
# runtime reads the machine's classes only: the installed keys of both views
# are mirrored there for this part.
mirror_user_classes "$loader" "$work"
wine "$build/tools/corvo-imclient.exe" --ready-file "$work/client.ready" \
    --account cnmarketweb_alice --answer-url 'https://login.market.example/welcome' \
    >/dev/null 2>&1 &
client=$!
i=0
while [ ! -e "$work/client.ready" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
status=$(wine "$installed\\corvo-sso.exe" browser status 2>&1 | tr -d '\r')
printf '%s\n' "$status" | grep -qi 'missing\|not installed' &&
    fail "browser status after installing: $status"
class='HKCU\Software\Classes\CLSID\{98EF2EC8-D064-491a-8111-3285E786E832}\InprocServer32'
# use BITS LOADER FOLDER: the class key that loader's programs see names the
# module in FOLDER; the script client and corvo-sso.exe of FOLDER work.
use() {
    server=$("$2" reg query "$class" /ve 2>/dev/null </dev/null | tr -d '\r' | sed -n 's/^.*REG_SZ *//p')
    [ "$server" = "$3\\CorvoSSOLogin.dll" ] && ok "$1-bit programs are given $3\\CorvoSSOLogin.dll" ||
        fail "$1-bit programs are given '$server', not $3\\CorvoSSOLogin.dll"
    run_script_client "$2" "$root/tests/wine/no_site.js" "$work/script.out" </dev/null &&
        ok "the $1-bit script client reaches the installed control" ||
        { fail "the $1-bit script client:"; cat "$work/script.out"; }
    users=$("$2" "$3\\corvo-sso.exe" users 2>&1 </dev/null | tr -d '\r')
    printf '%s\n' "$users" | grep -q cnmarketweb_alice && ok "$1-bit corvo-sso.exe users" ||
        fail "$1-bit corvo-sso.exe users: $users"
    login=$("$2" "$3\\corvo-sso.exe" login cnmarketweb_alice 2>&1 </dev/null | tr -d '\r')
    printf '%s\n' "$login" | grep -q 'https://login.market.example/welcome' &&
        ok "$1-bit corvo-sso.exe login" || fail "$1-bit corvo-sso.exe login: $login"
}
if [ "$arch" = x64 ]; then
    use 64 "$wine64" "$installed"
    use 32 "$wine32" "$installed\\x86"
else
    use 32 "$wine32" "$installed"
fi
kill "$client" 2>/dev/null; wait "$client" 2>/dev/null; client=
remove_machine_classes "$wine32"
[ "$arch" = x64 ] && remove_machine_classes "$wine64"

wine msiexec /x "$msi" /qn >/dev/null 2>&1 || fail "msiexec /x"
leftovers "msiexec /x"

# A lower version, then this one: the major upgrade leaves one registration.
older="$work/older.msi"
(cd "$stage" && wixl -D Version=0.9.0 -o "$older" $(cat "$wixl_args") &&
    python3 "$root/packaging/msi/restore_texts.py" "$older") >/dev/null 2>&1 ||
    fail "building the lower version"
install "$older"
install "$msi"
installed_dump >"$work/upgraded"
diff -u "$work/once" "$work/upgraded" >/dev/null && ok "an upgrade leaves the same registration" ||
    fail "an upgrade differs from a fresh installation"
wine msiexec /x "$msi" /qn >/dev/null 2>&1 || fail "msiexec /x after the upgrade"
leftovers "msiexec /x after the upgrade (the older package was not replaced)"

[ $failures -eq 0 ] && ok "nothing of ours is left"
exit $((failures > 0))
