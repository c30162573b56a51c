#!/usr/bin/env bash
# Builds the fuzz build and runs every harness for SECONDS (default 30) on a copy of its seed
# corpus, as many at once as there are cores (QUILLBOX_FUZZ_JOBS to choose). Fails on any finding and prints where the input that caused it was kept; prints the
# executions each harness reached. fuzz/corpus is only read, never written.
#
#   fuzz/run-fuzzers.sh [SECONDS]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build/fuzz"
seconds="${1:-30}"
harnesses=(lz77-decompress game-text-round-trip game-text-encode profile open-rom item-icon history item-import item-effect)

if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS]  (a whole number of seconds per harness)" >&2
  exit 2
fi
total=$((seconds * ${#harnesses[@]}))
if [ "$total" -gt 300 ]; then
  echo "note: ${#harnesses[@]} harnesses x ${seconds} s = ${total} s of fuzzing, more than the 5 minutes CI allows" >&2
fi

CXX="${CXX:-clang++-14}" cmake -S "$top" -B "$build" -G Ninja -DQUILLBOX_BUILD_FUZZ=ON -DQUILLBOX_BUILD_APP=OFF \
  -DQUILLBOX_BUILD_TESTS=OFF -DQUILLBOX_BUILD_BENCH=OFF >/dev/null
ninja -C "$build" "${harnesses[@]/#/fuzz-}"

work="$(mktemp -d "${TMPDIR:-/tmp}/quillbox-fuzz.XXXXXX")"
# The harnesses that go through files rewrite them on every run; memory-backed files keep that
# from dominating the run time.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch="$(mktemp -d /dev/shm/quillbox-fuzz-files.XXXXXX)"
else
  scratch="$work/files"
fi
trap 'rm -rf "$work" "$scratch"' EXIT
# Findings outlive the temporary folder.
findings="$build/findings"

# libFuzzer runs a harness on one core: as many run side by side as there are cores, each with
# its full time.
jobs="${QUILLBOX_FUZZ_JOBS:-$(nproc)}"
run_harness() {
  local harness="$1"
  local corpus="$work/corpus/$harness"
  local artifacts="$work/artifacts/$harness"
  mkdir -p "$corpus" "$artifacts" "$scratch/$harness"
  cp -R "$top/fuzz/corpus/$harness/." "$corpus/"
  local status=0
  TMPDIR="$scratch/$harness" "$build/bin/fuzz-$harness" "$corpus" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 >"$work/$harness.log" 2>&1 || status=$?
  echo "$status" >"$work/$harness.status"
}
running=0
for harness in "${harnesses[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run_harness "$harness" &
  running=$((running + 1))
done
wait

failed=()
for harness in "${harnesses[@]}"; do
  artifacts="$work/artifacts/$harness"
  log="$work/$harness.log"
  status="$(cat "$work/$harness.status" 2>/dev/null || echo 1)"

  # libFuzzer ends with "Done N runs in S second(s)"; a run cut short still printed "#N ...".
  runs="$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)"
  if [ -z "$runs" ]; then
    runs="$(sed -n 's/^#\([0-9]*\)[[:space:]].*/\1/p' "$log" | tail -n 1)"
  fi
  found=("$artifacts"/*)
  if [ "$status" -ne 0 ] || [ -e "${found[0]}" ]; then
    rm -rf "$findings/$harness"
    mkdir -p "$findings/$harness"
    cp -R "$artifacts/." "$findings/$harness/"
    cp "$log" "$findings/$harness/fuzzer.log"
    echo "FAIL $harness: exit status $status after ${runs:-0} executions" >&2
    grep -E "ERROR:|SUMMARY:|property broken|runtime error|deadly signal|Test unit written" "$log" | head -n 20 >&2 || true
    for input in "$findings/$harness"/*; do
      case "$(basename "$input")" in fuzzer.log) ;; *) echo "  crash input: $input" >&2 ;; esac
    done
    echo "  full log: $findings/$harness/fuzzer.log" >&2
    failed+=("$harness")
  else
    printf '%-22s %12s executions in %s s\n' "$harness" "${runs:-0}" "$seconds"
  fi
done

if [ "${#failed[@]}" -ne 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi
echo "Fuzzing passed: ${#harnesses[@]} harnesses, ${seconds} s each, no findings"
