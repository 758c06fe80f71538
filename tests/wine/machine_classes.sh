# Sourced by the Wine tests. Wine 8's COM runtime looks classes up in
# HKLM\Software\Classes only, so the module's keys that regsvr32 wrote below
# HKCU\Software\Classes are copied there for a test and removed afterwards
# (docs/registration.md). Each function works in the registry view of the
# Wine loader it is given: the 32-bit loader's `reg` reads and writes the
# 32-bit view, the 64-bit loader's the 64-bit one.

# The module's keys, as `reg export` names them.
export MODULE_KEYS='B88AEC8F|CorvoSSOLogin|98EF2EC8|9AAF5B5F|C50AB1A1|6A4F7929|6172E04B|21DBD551'

# mirror_user_classes WINE WORKDIR: copies the module's keys of
# HKCU\Software\Classes to HKLM\Software\Classes.
mirror_user_classes() {
    "$1" reg export 'HKCU\Software\Classes' "$2/user.reg" /y >/dev/null 2>&1
    {
        printf '\357\273\277Windows Registry Editor Version 5.00\n\n'
        iconv -f UTF-16LE -t UTF-8 "$2/user.reg" | tr -d '\r' | sed '1d' | awk -v keys="$MODULE_KEYS" '
            /^\[/ { keep = ($0 ~ keys) }
            keep { sub(/^\[HKEY_CURRENT_USER\\/, "[HKEY_LOCAL_MACHINE\\"); print }'
    } | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE > "$2/machine.reg"
    "$1" reg import "$2/machine.reg" >/dev/null 2>&1
}

# remove_machine_classes WINE: removes those copies again.
remove_machine_classes() {
    for key in 'CorvoSSOLoginM.SSOLoginCtrl' 'CorvoSSOLoginM.SSOLoginCtrl.1' \
        'CLSID\{98EF2EC8-D064-491a-8111-3285E786E832}' 'TypeLib\{9AAF5B5F-9BAC-446c-9CFE-88893E8BE925}' \
        'Interface\{C50AB1A1-065A-449A-A22D-17D46BFF3B04}' 'Interface\{6A4F7929-9E32-403A-BA8B-9C8988CF8555}' \
        'Interface\{6172E04B-3944-4402-81C5-835624897083}' 'Interface\{21DBD551-0E57-4FF4-BEC4-7330144C5B4F}' \
        'AppID\{B88AEC8F-38BB-4c82-8172-9E0263A58920}' \
        'AppID\CorvoSSOLogin.DLL'; do
        "$1" reg delete "HKLM\\Software\\Classes\\$key" /f >/dev/null 2>&1 || true
    done
}

# run_script_client WINE CLIENT.js OUTPUT: runs the JScript client with Wine's
# cscript; succeeds when its last line is "ok".
run_script_client() {
    # A Windows path: cscript would take "/work/..." for a switch.
    script=$("$1" winepath -w "$2" 2>/dev/null | tr -d '\r')
    "$1" cscript //nologo "$script" | tr -d '\r' > "$3" 2>&1 || true
    [ "$(tail -n 1 "$3")" = "ok" ]
}
