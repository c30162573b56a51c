#!/usr/bin/env bash
# Takes the Linux quillbox-cli and the Windows quillbox-cli.exe (run under Wine) through one
# session of commands on the same sample ROMs, each in a folder of its own, and fails on any
# difference in what they print, how they exit and the files they write: ROMs, the history and
# kept tables beside them, exports, PNGs. Two differences are Windows' by design and are
# compared after undoing exactly them: exported CSV ends its records with CR LF there, and the
# profiles' paths are spelled the Windows way. Then checks what only Windows has: paths with a
# drive letter and backslashes, and a console that must show names outside ASCII.
#
#   scripts/compare-windows-cli.sh LINUX_TOOL WINDOWS_TOOL
#
# Wine runs in $WINEPREFIX when it is set (made ready with wineboot), else in a prefix of its own.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 LINUX_TOOL WINDOWS_TOOL" >&2
  exit 2
fi
linux_tool="$(realpath "$1")"
windows_tool="$(realpath "$2")"
work="$(mktemp -d)"
. "$(dirname "$0")/wine-prefix.sh"
written_user_profile=""
cleanup() {
  if [ -n "$written_user_profile" ]; then
    rm -f "$written_user_profile"
    rmdir "$(dirname "$written_user_profile")" 2>/dev/null || true
  fi
  wine_prefix_remove
  rm -rf "$work"
}
trap cleanup EXIT

# Wine turns the command line into UTF-16 by the locale; the history's times come from the fixed clock.
export LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=1700000000
wine_prefix_ready
fail() {
  echo "compare-windows-cli: $*" >&2
  exit 1
}

# Each tool has a user profile of its own with the same section, for the hack's moved tables; the
# Linux tool a home of its own, the Windows tool its %APPDATA% inside the Wine prefix.
home="$work/home"
mkdir -p "$home/.config/quillbox"
user_profile_linux="$home/.config/quillbox/roms.ini"
appdata="$(wine cmd /c 'echo %APPDATA%' | tr -d '\r')"
mapfile -t windows_paths < <(wine winepath -u "$appdata" | tr -d '\r'; windows_path "$(dirname "$windows_tool")/ini/roms.ini")
user_profile_windows="$appdata\\quillbox\\roms.ini"
user_profile_windows_unix="${windows_paths[0]%/}/quillbox/roms.ini"
shipped_profile_windows="${windows_paths[1]}"
shipped_profile_linux="$(dirname "$linux_tool")/ini/roms.ini"
[ -e "$user_profile_windows_unix" ] && fail "a user profile is already in the Wine prefix: $user_profile_windows_unix"
mkdir -p "$(dirname "$user_profile_windows_unix")"
written_user_profile="$user_profile_windows_unix"
printf '[BPRE]\nItemData=&HA00000\nAttackNames=&HA0800D\nTMData=&HA0A000\nIMGData=&HA0B000\nItemCount=400\n' |
  tee "$user_profile_linux" >"$user_profile_windows_unix"

folder="Bücher Ordner"
rom="$folder/My Hack é.gba"
base="$folder/Base.gba"
hack="$folder/Hack.gba"
for system in linux windows; do
  mkdir -p "$work/$system/$folder" "$work/results/$system"
  printf 'position,name,price\r\n3,"Élan, Œuf",450\r\n4,Brass Tonic,80\r\n' >"$work/$system/$folder/prices.csv"
  printf '[{"position": 5, "price": 321, "name": "Îlot Ça"}]\n' >"$work/$system/$folder/changes.json"
  printf 'position,price\n3,70000\n' >"$work/$system/$folder/bad.csv"
  # A Ctrl+Z byte ends the input of a program that reads in text mode, which would cut this short.
  printf 'position,name\r\n4,"Ab\x1aX"\r\n' >"$work/$system/stdin.csv"
done

# run STEP KIND STATUS [<INPUT] ARGS...: both tools, in their folders, with what each printed and
# how it exited kept under STEP. KIND says how the outputs compare: text, csv (records end in CR LF
# on Windows) or bytes. The Linux tool must exit with STATUS, so that the session goes as planned.
kinds=()
run() {
  local step="$1" kind="$2" expected="$3" input=/dev/null
  shift 3
  if [[ "${1:-}" == "<"* ]]; then
    input="${1#<}"
    shift
  fi
  kinds+=("$step:$kind")
  local status=0
  (cd "$work/linux" && exec env HOME="$home" XDG_CONFIG_HOME="$home/.config" "$linux_tool" "$@" <"$input") \
    >"$work/results/linux/$step.out" 2>"$work/results/linux/$step.err" || status=$?
  echo "$status" >"$work/results/linux/$step.status"
  [ "$status" = "$expected" ] || fail "$step: the Linux tool exited with $status: $(head -3 "$work/results/linux/$step.err")"
  status=0
  (cd "$work/windows" && wine "$windows_tool" "$@" <"$input") \
    >"$work/results/windows/$step.out" 2>"$work/results/windows/$step.err" || status=$?
  echo "$status" >"$work/results/windows/$step.status"
}

started=$SECONDS
run sample-rom text 0 sample-rom "$rom"
run sample-base text 0 sample-rom "$base"
run sample-hack text 0 sample-rom "$hack" --hack
run info text 0 info "$rom"
run info-base text 0 info "$base"
run info-hack text 0 info "$hack"
run export-json text 0 export "$rom" -o "$folder/items.json"
run export-csv text 0 export "$rom" --format csv -o "$folder/items.csv"
run export-json-out text 0 export "$rom"
run export-csv-out csv 0 export "$rom" --format csv
run set text 0 set "$rom" 3 "name=Élan Œuf" price=1200 pocket=1 "description=Une œuvre ß
à deux" --relocate
run set-refused text 3 set "$rom" 4 price=70000
run set-unknown text 3 set "$rom" 4 "name=Mega;Tonic*"
run list text 0 list "$rom"
run show text 0 show "$rom" 3 --json
run undo text 0 undo "$rom"
run redo text 0 redo "$rom"
run icon text 0 icon "$rom" 3 -o "$folder/icon 3.png"
run icon-large text 0 icon "$rom" 3 -o "$folder/icon large.png" --scale 3
run icon-out bytes 0 icon "$rom" 3 -o - --scale 3
run icon-import-dry text 0 icon-import "$rom" 27 "$folder/icon 3.png" --dry-run
run icon-import text 0 icon-import "$rom" 27 "$folder/icon 3.png"
run import-csv-dry text 0 import "$rom" "$folder/prices.csv" --dry-run
run import-csv text 0 import "$rom" "$folder/prices.csv"
run import-json text 0 import "$rom" "$folder/changes.json"
run import-stdin text 3 "<stdin.csv" import "$rom" - --format csv
run import-refused text 3 import "$rom" "$folder/bad.csv"
run detect text 0 detect "$hack"
run detect-keep text 0 detect "$hack" --keep
run info-kept text 0 info "$hack"
run history text 0 history "$rom"
run diff text 0 diff "$base" "$rom"
run undo-steps text 0 undo "$rom" --steps 2
run history-after text 0 history "$rom"
run missing text 4 info "$folder/missing.gba"
run unknown-command text 2 frobnicate
run bad-position text 3 show "$rom" 999
echo "ran ${#kinds[@]} commands with each tool in $((SECONDS - started)) s"

# The text as Windows would print it on Linux: its profiles' paths spelled the Linux way, and,
# for CSV, records ending in LF.
read_as_linux() {
  local system="$1" kind="$2" file="$3" text
  text="$(cat "$file"; printf x)"
  text="${text%x}"
  if [ "$system" = windows ]; then
    text="${text//"$shipped_profile_windows"/"$shipped_profile_linux"}"
    text="${text//"$user_profile_windows"/"$user_profile_linux"}"
    [ "$kind" = csv ] && text="${text//$'\r\n'/$'\n'}"
  fi
  printf '%s' "$text"
}

differences=0
differ() {
  echo "DIFFERENT: $*" >&2
  differences=$((differences + 1))
}
for entry in "${kinds[@]}"; do
  step="${entry%%:*}"
  kind="${entry#*:}"
  linux="$work/results/linux/$step"
  windows="$work/results/windows/$step"
  cmp -s "$linux.status" "$windows.status" || differ "$step: exit status $(cat "$linux.status") on Linux, $(cat "$windows.status") on Windows"
  if ! diff <(read_as_linux linux text "$linux.err") <(read_as_linux windows text "$windows.err") >"$work/diff" 2>&1; then
    differ "$step: standard error"$'\n'"$(head -20 "$work/diff")"
  fi
  case "$kind" in
  bytes) cmp -s "$linux.out" "$windows.out" || differ "$step: the bytes on standard output" ;;
  csv)
    cmp -s "$linux.out" "$windows.out" && differ "$step: the CSV on standard output has the Linux line ends on Windows"
    ;&
  text)
    if ! diff <(read_as_linux linux "$kind" "$linux.out") <(read_as_linux windows "$kind" "$windows.out") >"$work/diff" 2>&1; then
      differ "$step: standard output"$'\n'"$(head -20 "$work/diff")"
    fi
    ;;
  esac
done

# The files each tool made or changed, byte for byte; the exported CSV after its record ends.
(cd "$work/linux" && find . -type f | sort) >"$work/files.linux"
(cd "$work/windows" && find . -type f | sort) >"$work/files.windows"
diff "$work/files.linux" "$work/files.windows" >"$work/diff" || differ "the files made"$'\n'"$(cat "$work/diff")"
while IFS= read -r file; do
  if [ "$file" = "./$folder/items.csv" ]; then
    cmp -s "$work/linux/$file" "$work/windows/$file" && differ "$file has the Linux line ends on Windows"
    cmp -s <(read_as_linux linux csv "$work/linux/$file") <(read_as_linux windows csv "$work/windows/$file") ||
      differ "$file, after its record ends"
  elif [ -f "$work/windows/$file" ]; then
    cmp -s "$work/linux/$file" "$work/windows/$file" || differ "$file"
  fi
done <"$work/files.linux"
# What goes to standard output is the file's bytes: the C runtime's text mode would add a CR to
# every LF, the PNG signature's included.
for pair in "icon-out:icon large.png" "export-json-out:items.json" "export-csv-out:items.csv"; do
  cmp -s "$work/results/windows/${pair%%:*}.out" "$work/windows/$folder/${pair#*:}" ||
    differ "${pair%%:*}: standard output is not what the Windows tool writes to ${pair#*:}"
done
[ "$differences" -eq 0 ] || fail "$differences differences between the Linux and the Windows tool"
echo "the Windows tool printed, exited and wrote as the Linux tool in ${#kinds[@]} commands"

# A console shows what the tool prints, on standard output and standard error, as characters,
# whatever its code page (437 under Wine):
# under a terminal Wine gives the program a console, which draws it with escape sequences.
visible() { sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\x1b\][^\x07]*\x07//g' | tr -d ' \t\r'; }
gone="$folder/gone é.gba"
script -qec "cd '$work/windows' && env -u DISPLAY '$wine64' '$windows_tool' list '$rom' &&
  env -u DISPLAY '$wine64' '$windows_tool' info '$gone'" /dev/null </dev/null | visible >"$work/console.windows" || true
(cd "$work/linux" && export HOME="$home" XDG_CONFIG_HOME="$home/.config" && "$linux_tool" list "$rom" &&
  "$linux_tool" info "$gone") 2>&1 | visible >"$work/console.linux" || true
grep -q 'gone' "$work/console.linux" || fail "no message on standard error to show in the console"
grep -q 'ÉlanŒuf' "$work/console.linux" || fail "no name outside ASCII to show in the console"
cmp -s "$work/console.linux" "$work/console.windows" ||
  fail "the console did not show what the tool printed:"$'\n'"$(diff "$work/console.linux" "$work/console.windows" | head -10)"
echo "a console shows the names outside ASCII as written"

# Paths as Windows users type them: a drive letter (Z: is / under Wine), backslashes, forward
# slashes, relative with .\ ; the history lands beside the ROM under its own name.
cd "$work/windows"
base_drive="$(windows_path "$work/windows/$base")"
for spelling in "$base_drive" "${base_drive//\\//}" ".\\${base//\//\\}"; do
  wine "$windows_tool" info "$spelling" >"$work/info.out" || fail "info \"$spelling\" failed"
  cmp -s "$work/info.out" "$work/results/windows/info-base.out" || fail "info \"$spelling\" did not describe $base"
done
wine "$windows_tool" set "$base_drive" 5 price=7 >/dev/null || fail "set \"$base_drive\" failed"
[ -f "$work/windows/$base.quillbox-history" ] || fail "the history of \"$base_drive\" is not beside it as Base.gba.quillbox-history"
wine "$windows_tool" undo ".\\${base//\//\\}" >/dev/null || fail "undo through a relative path with backslashes failed"
cmp -s "$work/windows/$base" "$work/linux/$base" || fail "undo through another spelling of the path did not restore $base"
echo "paths with a drive letter, backslashes, forward slashes and .\\ reach the same files"

