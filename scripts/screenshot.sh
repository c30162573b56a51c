#!/usr/bin/env bash
# Makes docs/screenshot.png: the real window on a virtual X screen, the sample ROM open and an
# item selected.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/setup-debian.sh"
build="$top/build/release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLBOX_BUILD_TESTS=OFF -DQUILLBOX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target quillbox-screenshot quillbox-cli
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bin/quillbox-cli" sample-rom "$work/sample-firered.gba" --game BPRE
xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/quillbox-screenshot" "$work/sample-firered.gba" 21 "$top/docs/screenshot.png"
echo "wrote docs/screenshot.png"
