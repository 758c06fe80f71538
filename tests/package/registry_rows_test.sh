#!/bin/sh
# The installer's registry rows are what regsvr32 writes: the rows tool's keys
# for a 64-bit module equal the keys Wine's regsvr32 leaves
# (tests/wine/registration_keys.txt for win64), module path and help
# directory written as %MODULE% and %HELPDIR%.
#   registry_rows_test.sh ROWS_TOOL EXPECTED_KEYS_FILE
set -eu
rows=$1
. "$(dirname "$0")/../wine/machine_classes.sh"
expected=$(mktemp)
trap 'rm -f "$expected"' EXIT
sed 's/%PLATFORM%/win64/' "$2" > "$expected"
"$rows" --platform win64 --directory 'C:\Corvo\' --format reg |
    awk -v keys="$MODULE_KEYS" '/^\[/ { keep = ($0 ~ keys) }
         keep' |
    sed -e 's/C:\\\\Corvo\\\\CorvoSSOLogin.dll/%MODULE%/' -e 's/C:\\\\Corvo\\\\/%HELPDIR%/' |
    diff -u "$expected" - && echo "the rows equal the keys regsvr32 writes"
