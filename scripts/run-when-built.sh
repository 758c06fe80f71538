#!/bin/sh
# Runs a test command only when the files it needs exist (the outputs of
# another build); otherwise exits 77, the test's SKIP_RETURN_CODE, saying what
# is missing and what to build.
# Usage: run-when-built.sh HINT FILE... -- COMMAND [ARG...]
hint=$1
shift
while [ "$#" -gt 0 ] && [ "$1" != -- ]; do
    if [ ! -e "$1" ]; then
        echo "skipped: $1 is missing; $hint"
        exit 77
    fi
    shift
done
[ "$#" -gt 0 ] && shift
exec "$@"
