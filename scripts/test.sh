#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a warnings-as-errors build, the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, the core built for the browser and
# for Windows with its tests run under node and Wine, the page in headless Chromium, the Windows
# command-line tool held against the Linux one and its zip unpacked and run, and a bounded run of
# each fuzzer.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/setup-debian.sh"
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

# Tests run with a home of their own, never the user's: its profile holds a section kept for
# another FireRed (a hack's moved, enlarged item table), which no test may be misled by.
test_home="$(mktemp -d)"
. "$top/scripts/wine-prefix.sh"
cleanup() {
  wine_prefix_remove
  rm -rf "$test_home"
}
trap cleanup EXIT
mkdir -p "$test_home/.config/quillbox"
printf '[BPRE]\nItemData=&HF00000\nAttackNames=&H2470A1\nTMData=&H45A80C\nIMGData=&H3D4294\nItemCount=400\n' \
  >"$test_home/.config/quillbox/roms.ini"
isolated() { HOME="$test_home" XDG_CONFIG_HOME="$test_home/.config" "$@"; }

# The compiler's cache lives in the build folder, never in the user's home. The package-like
# build below compiles what the first one did with the same flags, so it takes it from there;
# a second run of this script compiles only what changed.
export CCACHE_DIR="$top/build/ccache" CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=5G
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
# Built as Debian builds a package (-O2), without debug information, which would double the
# time the tests take to compile; the sanitizer build keeps line numbers for its reports.
optimised=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG")
# The tests' own files are compiled unoptimised: optimising them took a third of their compile
# time and bought no test anything, since the code they test is built -O2 all the same.
unoptimised_tests=-DQUILLBOX_TEST_COMPILE_OPTIONS=-O0
# A process a test costs more in starts than most tests take; each program runs in shards.
shards=-DQUILLBOX_TEST_SHARDS=8

echo "== Build and test (warnings are errors)"
cmake -S "$top" -B "$top/build/ci" -G Ninja "${optimised[@]}" "$unoptimised_tests" -DQUILLBOX_WERROR=ON "$shards" >/dev/null
cmake --build "$top/build/ci" -j "$jobs"
isolated ctest --test-dir "$top/build/ci" --output-on-failure --no-tests=error -j "$jobs"

echo "== The command-line tool and the core without Qt, installed the way a package installs them"
cmake -S "$top" -B "$top/build/noqt" -G Ninja "${optimised[@]}" "$unoptimised_tests" -DQUILLBOX_WERROR=ON -DQUILLBOX_BUILD_APP=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DQUILLBOX_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$top/build/noqt" -j "$jobs" --target quillbox-cli quillbox_cli_tests
isolated "$top/build/noqt/bin/quillbox_cli_tests" --gtest_brief=1
staging="$test_home/staging"
mkdir -p "$staging"
DESTDIR="$staging/root" cmake --install "$top/build/noqt" >/dev/null
isolated "$staging/root/usr/bin/quillbox-cli" sample-rom "$staging/sample.gba" >/dev/null
isolated "$staging/root/usr/bin/quillbox-cli" info "$staging/sample.gba" | grep -q '^ItemData: 3DB028$'
echo "installed quillbox-cli finds its profile"

# Unoptimised code under the sanitizers calls a function for every element a vector gives; -Og
# inlines those, so the tests ran three times faster for about 8% more compile time on the core.
# The tests' own files stay unoptimised, as above.
echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$top" -B "$top/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-Og -g1" "-DCMAKE_C_FLAGS_DEBUG=-Og -g1" \
  "$unoptimised_tests" -DQUILLBOX_WERROR=ON -DQUILLBOX_SANITIZE=ON -DQUILLBOX_BUILD_BENCH=OFF "$shards" >/dev/null
cmake --build "$top/build/asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 isolated ctest --test-dir "$top/build/asan" --output-on-failure --no-tests=error -j "$jobs"

# The cross builds are for finding what one system lacks, not for speed: -O1 compiles quickest.
echo "== The core and its tests built for the browser (em++) and run under node"
export NODE_PATH=/usr/share/nodejs  # emscripten's optimiser finds acorn there
env -u CMAKE_CXX_COMPILER_LAUNCHER -u CMAKE_C_COMPILER_LAUNCHER emcmake cmake -S "$top" -B "$top/build/web" -G Ninja -DCMAKE_BUILD_TYPE= -DQUILLBOX_WERROR=ON -DQUILLBOX_BUILD_CLI=OFF \
  -DCMAKE_CXX_FLAGS=-O1 -DCMAKE_EXE_LINKER_FLAGS=-O1 >/dev/null
cmake --build "$top/build/web" -j "$jobs"
isolated ctest --test-dir "$top/build/web" --output-on-failure --no-tests=error -j "$jobs"

echo "== The page (build/web/quillbox.html) in headless Chromium, against the command-line tool"
# Playwright drives the system's Chromium; it never downloads a browser of its own.
(cd "$top/web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
(cd "$top/web" && QUILLBOX_PAGE="$top/build/web/quillbox.html" QUILLBOX_CLI="$top/build/ci/bin/quillbox-cli" \
  isolated npx --no-install playwright test)

echo "== The core, the command-line tool and their tests built for Windows (MinGW-w64) and run under Wine"
cmake -S "$top" -B "$top/build/windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE= -DQUILLBOX_WERROR=ON -DCMAKE_CXX_FLAGS=-O1 >/dev/null
cmake --build "$top/build/windows" -j "$jobs"
for program in "$top"/build/windows/bin/*.exe; do
  foreign="$(x86_64-w64-mingw32-objdump -p "$program" | awk '/DLL Name:/ {print $3}' |
    grep -viE '^(kernel32|msvcrt|shell32|advapi32|user32|ws2_32)\.dll$' || true)"
  if [ -n "$foreign" ]; then
    echo "$program needs DLLs beside it: $foreign"
    exit 1
  fi
done
echo "the Windows programs need no DLL but the system's"
# A Wine prefix of the run's own, never the user's, shared by the steps below.
unset WINEPREFIX
wine_prefix_ready
isolated env -u DISPLAY ctest --test-dir "$top/build/windows" --output-on-failure --no-tests=error -j "$jobs"

echo "== The Windows command-line tool against the Linux one, and its zip"
"$top/scripts/compare-windows-cli.sh" "$top/build/noqt/bin/quillbox-cli" "$top/build/windows/bin/quillbox-cli.exe"
"$top/scripts/check-windows-package.sh" "$top/build/windows"

if [ -f "$top/fuzz/CMakeLists.txt" ]; then
  echo "== Fuzzing"
  "$top/fuzz/run-fuzzers.sh" "${QUILLBOX_FUZZ_SECONDS:-30}"
fi
echo "== All tests passed"
