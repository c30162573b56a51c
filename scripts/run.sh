#!/usr/bin/env bash
# Installs what is missing, builds Quillbox and starts it. Without a ROM of your own, a sample
# ROM is written to roms/ and the window starts there, so the Open dialog shows it.
#   scripts/run.sh            start in roms/ (a sample ROM is made if roms/ has none)
#   scripts/run.sh DIR        start in DIR, where your own ROMs are
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/setup-debian.sh"

build="$top/build/release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLBOX_BUILD_TESTS=OFF -DQUILLBOX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target quillbox quillbox-cli

folder="${1:-$top/roms}"
mkdir -p "$folder"
if ! compgen -G "$folder/*.gba" >/dev/null && ! compgen -G "$folder/*.bin" >/dev/null; then
  "$build/bin/quillbox-cli" sample-rom "$folder/sample-firered.gba" --game BPRE
  echo "No ROM in $folder: wrote the sample ROM $folder/sample-firered.gba"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here: starting Quillbox on a virtual screen (xvfb-run). On a desktop it opens a window."
  cd "$folder" && exec xvfb-run -a "$build/bin/quillbox"
fi
cd "$folder" && exec "$build/bin/quillbox"
