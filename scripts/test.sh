#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a warnings-as-errors build, the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded run of each fuzzer.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/setup-debian.sh"
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

# Tests run with a home of their own, never the user's: its profile holds a section kept for
# another FireRed (a hack's moved, enlarged item table), which no test may be misled by.
test_home="$(mktemp -d)"
trap 'rm -rf "$test_home"' EXIT
mkdir -p "$test_home/.config/quillbox"
printf '[BPRE]\nItemData=&HF00000\nAttackNames=&H2470A1\nTMData=&H45A80C\nIMGData=&H3D4294\nItemCount=400\n' \
  >"$test_home/.config/quillbox/roms.ini"
isolated() { HOME="$test_home" XDG_CONFIG_HOME="$test_home/.config" "$@"; }

echo "== Build and test (warnings are errors)"
cmake -S "$top" -B "$top/build/ci" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLBOX_WERROR=ON >/dev/null
cmake --build "$top/build/ci" -j "$jobs"
isolated ctest --test-dir "$top/build/ci" --output-on-failure --no-tests=error -j "$jobs"

echo "== The command-line tool and the core without Qt, installed the way a package installs them"
cmake -S "$top" -B "$top/build/noqt" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLBOX_WERROR=ON -DQUILLBOX_BUILD_APP=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DQUILLBOX_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$top/build/noqt" -j "$jobs" --target quillbox-cli quillbox_cli_tests
isolated "$top/build/noqt/bin/quillbox_cli_tests" --gtest_brief=1
staging="$test_home/staging"
mkdir -p "$staging"
DESTDIR="$staging/root" cmake --install "$top/build/noqt" >/dev/null
isolated "$staging/root/usr/bin/quillbox-cli" sample-rom "$staging/sample.gba" >/dev/null
isolated "$staging/root/usr/bin/quillbox-cli" info "$staging/sample.gba" | grep -q '^ItemData: 3DB028$'
echo "installed quillbox-cli finds its profile"

echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$top" -B "$top/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLBOX_WERROR=ON -DQUILLBOX_SANITIZE=ON \
  -DQUILLBOX_BUILD_BENCH=OFF >/dev/null
cmake --build "$top/build/asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 isolated ctest --test-dir "$top/build/asan" --output-on-failure --no-tests=error -j "$jobs"

if [ -f "$top/fuzz/CMakeLists.txt" ]; then
  echo "== Fuzzing"
  "$top/fuzz/run-fuzzers.sh" "${QUILLBOX_FUZZ_SECONDS:-30}"
fi
echo "== All tests passed"
