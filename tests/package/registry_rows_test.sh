#!/bin/sh
# The installer's registry rows are what regsvr32 writes: the rows tool's keys
# for a 64-bit module equal the keys Wine's regsvr32 leaves
# (tests/wine/registration_keys_win64.txt), module path and help directory
# written as %MODULE% and %HELPDIR%.
#   registry_rows_test.sh ROWS_TOOL EXPECTED_KEYS_FILE
set -eu
rows=$1 expected=$2
"$rows" --platform win64 --directory 'C:\Corvo\' --format reg |
    awk '/^\[/ { keep = ($0 ~ /B88AEC8F|CorvoSSOLogin|98EF2EC8|9AAF5B5F|C50AB1A1|6A4F7929|6172E04B|21DBD551/) }
         keep' |
    sed -e 's/C:\\\\Corvo\\\\CorvoSSOLogin.dll/%MODULE%/' -e 's/C:\\\\Corvo\\\\/%HELPDIR%/' |
    diff -u "$expected" - && echo "the rows equal the keys regsvr32 writes"
