#!/usr/bin/env bash
# Makes the Windows zip in a Windows build folder, unpacks it into a folder of its own and runs
# the tool from there under Wine on a sample ROM: the zip holds the program, its profile and the
# read-me, and the program finds the profile beside it.
#
#   scripts/check-windows-package.sh BUILD_FOLDER
#
# Wine runs in $WINEPREFIX when it is set (made ready with wineboot), else in a prefix of its own.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_FOLDER" >&2
  exit 2
fi
build="$(realpath "$1")"
unpacked="$(mktemp -d)"
. "$(dirname "$0")/wine-prefix.sh"
cleanup() {
  wine_prefix_remove
  rm -rf "$unpacked"
}
trap cleanup EXIT
export LC_ALL=C.UTF-8
wine_prefix_ready
fail() {
  echo "check-windows-package: $*" >&2
  exit 1
}

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
name="quillbox-cli-$version-windows-x64"
rm -f "$build/$name.zip"
(cd "$build" && cpack -G ZIP >/dev/null)
[ -f "$build/$name.zip" ] || fail "cpack made no $name.zip"
(cd "$unpacked" && cmake -E tar xf "$build/$name.zip")
folder="$unpacked/$name"
listing="$(cd "$folder" && find . -type f | sort | tr '\n' ' ')"
[ "$listing" = "./Readme.txt ./ini/roms.ini ./quillbox-cli.exe " ] || fail "$name.zip holds $listing"

mkdir "$unpacked/My Hack"
cd "$unpacked/My Hack"
wine "$folder/quillbox-cli.exe" sample-rom "My Hack.gba" || fail "the unpacked tool could not write a sample ROM"
info="$(wine "$folder/quillbox-cli.exe" info "My Hack.gba" | tr -d '\r')" || fail "the unpacked tool could not open the sample ROM"
profile="$(windows_path "$folder/ini/roms.ini")"
grep -qxF "ItemData: 3DB028" <<<"$info" || fail "the unpacked tool did not read the FireRed section:"$'\n'"$info"
grep -qxF "offsets from: section [BPRE] of the profile $profile" <<<"$info" ||
  fail "the unpacked tool did not take the profile beside it ($profile):"$'\n'"$info"
echo "$name.zip holds the tool, its profile and the read-me; unpacked, the tool finds its profile"
