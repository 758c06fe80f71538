#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each one briefly, so a
# crash on the seed corpus or shortly after fails the test run.
set -euo pipefail
seconds=${FUZZ_SECONDS:-20}
if ! command -v clang++ >/dev/null || [[ ! -d /usr/lib/llvm-14/lib/clang ]]; then
  echo "fuzz-smoke: clang with libFuzzer not installed; skipped"
  exit 0
fi
targets=$(find fuzz -name '*_fuzz.cpp' 2>/dev/null | sort)
if [[ -z "$targets" ]]; then
  echo "fuzz-smoke: no fuzz targets yet"
  exit 0
fi
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVO_FUZZ=ON \
  -DCORVO_BUILD_TESTS=OFF -DCORVO_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz --target fuzz_all
for src in $targets; do
  name=$(basename "$src" .cpp)
  corpus="fuzz/corpus/${name%_fuzz}"
  work=$(mktemp -d)
  [[ -d "$corpus" ]] && cp -r "$corpus"/. "$work"/
  echo "fuzz-smoke: $name for ${seconds}s"
  log="$work.log"
  if ! "build/fuzz/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 "$work" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz-smoke: $name FAILED (crash input above)"
    rm -rf "$work" "$log"
    exit 1
  fi
  grep -E 'stat::number_of_executed_units|stat::new_units_added' "$log" | sed "s/^/  $name /"
  rm -rf "$work" "$log"
done
