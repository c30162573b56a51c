#!/usr/bin/env bash
# Rewrites the seed corpus in fuzz/corpus from scratch: builds the fuzz build's corpus writer and
# runs it on the sample ROMs and the shipped profile. The result is the same on every run.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build/fuzz"

CXX="${CXX:-clang++-14}" cmake -S "$top" -B "$build" -G Ninja -DQUILLBOX_BUILD_FUZZ=ON -DQUILLBOX_BUILD_APP=OFF \
  -DQUILLBOX_BUILD_TESTS=OFF -DQUILLBOX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz-make-corpus

rm -rf "$top/fuzz/corpus"
"$build/bin/fuzz-make-corpus" "$top/fuzz/corpus" "$top/ini/roms.ini"
