#!/usr/bin/env bash
# Whole-process timings of quillbox-cli on the 16 MiB sample ROM, measured with hyperfine in one
# run: info, list, show, export (JSON and CSV), import with nothing to change and with every price
# changed, and detect on a copy whose filler names random places as densely as a real game's code and
# which holds as many look-alikes of the item-effect table. Not a test: the figures depend on the machine. Usage:
#   bench/cli-timings.sh [BUILD_DIR] [other quillbox-cli to compare against]
set -euo pipefail

build=${1:-build/dev}
cli=$(realpath "$build/bin/quillbox-cli")
other=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cli" sample-rom "$work/s.gba"
cp "$work/s.gba" "$work/same.gba"
"$cli" export "$work/s.gba" -o "$work/all.json"
"$cli" export "$work/s.gba" --format csv -o "$work/all.csv"
# Two batches setting every price: the timed one is applied to a ROM that already holds the
# other, so that every item changes.
"$cli" list "$work/s.gba" | awk -F '\t' 'BEGIN { print "position,price" } { print $1 "," $1 + 1 }' > "$work/first.csv"
"$cli" list "$work/s.gba" | awk -F '\t' 'BEGIN { print "position,price" } { print $1 "," $1 + 2 }' > "$work/prices.csv"
cp "$work/s.gba" "$work/base.gba"
"$cli" import "$work/base.gba" "$work/first.csv" > /dev/null
rm -f "$work/base.gba.quillbox-history"
"$cli" import "$work/base.gba" "$work/prices.csv" --dry-run | tail -n 1
# Filler as dense in pointers as a real game's code, and the item-effect table's look-alikes of a
# real FireRed (41 candidates of 249 places naming a healing POTION record).
"$(dirname "$cli")/quillbox_dense_rom" "$work/dense.gba"

commands=(
  -n info "$cli info $work/s.gba"
  -n list "$cli list $work/s.gba"
  -n show "$cli show $work/s.gba 10"
  -n export-json "$cli export $work/s.gba"
  -n export-csv "$cli export $work/s.gba --format csv"
  -n import-unchanged-json "$cli import $work/same.gba $work/all.json"
  -n import-unchanged-csv "$cli import $work/same.gba $work/all.csv"
  -n detect-dense "$cli detect $work/dense.gba"
)
if [ -n "$other" ]; then
  commands+=(-n other-info "$other info $work/s.gba" -n other-list "$other list $work/s.gba"
             -n other-show "$other show $work/s.gba 10"
             -n other-export "$other export $work/s.gba" -n other-export-csv "$other export $work/s.gba --format csv"
             -n other-detect-dense "$other detect $work/dense.gba")
fi
hyperfine -N --warmup 5 --min-runs 50 "${commands[@]}"
# Each run writes, so each starts from a fresh copy (the copy is not timed).
hyperfine -N --warmup 3 --min-runs 30 --prepare "sh -c 'cp $work/base.gba $work/p.gba && rm -f $work/p.gba.quillbox-history'" \
  -n import-every-price "$cli import $work/p.gba $work/prices.csv"
