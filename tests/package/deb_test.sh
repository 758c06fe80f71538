#!/usr/bin/env bash
# The Debian package end to end: install it with dpkg, use it as a user with
# a fresh home (deb_session.py), purge it, and check that nothing of ours is
# left. Installing changes the machine, so this needs root (CI runs as root)
# and is skipped otherwise; the package is purged on every path.
#
#   deb_test.sh PACKAGE.deb BUILD/tools
set -uo pipefail

deb=$1 tools=$2
here=$(cd "$(dirname "$0")" && pwd)
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
ok() { echo "ok   $*"; }

# Debian's own checks first: no errors (warnings are listed in docs/install.md).
if command -v lintian >/dev/null; then
    if report=$(lintian --fail-on error "$deb" 2>&1); then ok "lintian: no errors"; else
        fail "lintian reports errors"
    fi
    grep -v 'root privileges' <<<"$report"
else
    fail "lintian is not installed (scripts/install-deps.sh)"
fi

if [[ $(id -u) -ne 0 ]]; then
    ((failures == 0)) || exit 1
    echo "SKIP: installing the package needs root (CI runs the tests as root)"
    exit 77
fi
[[ -f $deb ]] || { echo "FAIL: $deb is missing: run make package"; exit 1; }
if dpkg-query -W -f='${Status}' corvo-sso 2>/dev/null | grep -q 'install ok'; then
    echo "FAIL: corvo-sso is installed on this machine already; this test leaves it alone"
    exit 1
fi
[[ -e /etc/corvo-sso ]] && { echo "FAIL: /etc/corvo-sso exists already; not touching it"; exit 1; }
user=nobody
group=$(id -gn "$user")

work=$(mktemp -d /tmp/corvo-deb-XXXXXX)
cleanup() {
    dpkg --purge corvo-sso >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

# Every file the package holds (directories are shared with other packages).
mapfile -t files < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {sub(/^\./, "", $6); print $6}')

if ! dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
    cat "$work/dpkg.log"
    echo "FAIL dpkg -i"
    exit 1
fi
ok "dpkg -i"
machine=/etc/corvo-sso/registry.reg
if grep -q '^\[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{98EF2EC8-D064-491a-8111-3285E786E832}\\InprocServer32\]' "$machine" &&
    grep -qx '@="/usr/lib/corvo-sso/libCorvoSSOLogin.so"' "$machine"; then
    ok "the machine registration names the installed module"
else
    fail "the machine registration"; cat "$machine"
fi
[[ $(stat -c %a "$machine") == 644 ]] || fail "$machine is not readable by every user"
for browser in chrome edge; do
    link=/etc/opt/$browser/native-messaging-hosts/com.corvo.sso_login.json
    grep -q '"/usr/lib/corvo-sso/corvo-sso-host"' "$link" || fail "$link does not name the host"
done

chown "$user:$group" "$work"
if runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$work" \
    CORVO_CHROMIUM_NO_SANDBOX=1 python3 "$here/deb_session.py" --tools "$tools"; then
    ok "the installed package as a user"
else
    fail "the installed package as a user"
fi

if dpkg --purge corvo-sso >"$work/dpkg.log" 2>&1; then ok "dpkg --purge"; else
    cat "$work/dpkg.log"; fail "dpkg --purge"
fi
for file in "${files[@]}" /etc/corvo-sso /usr/lib/corvo-sso /usr/share/chromium/extensions/corvo-sso \
    "/usr/share/mozilla/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}/sso-login@corvo.example" \
    /etc/opt/chrome/native-messaging-hosts/com.corvo.sso_login.json \
    /etc/opt/edge/native-messaging-hosts/com.corvo.sso_login.json; do
    [[ -e $file || -L $file ]] && fail "left after purge: $file"
done
((failures == 0)) && ok "nothing of ours is left"
exit $((failures > 0))
