#!/bin/bash
# Runs every libFuzzer target of a fuzz build from its corpus for a fixed
# number of inputs with a fixed seed, so that a finding fails the same way
# on every run.
#
#   tests/fuzz/run.sh FUZZ_BUILD_DIR [NAME...]   (default: every target)
#
# FUZZ_BUILD_DIR is a build with -DHS_FUZZ=ON and clang (scripts/test.sh
# makes build/fuzz). The corpus in tests/fuzz/corpus/<name> is only read:
# inputs the fuzzer keeps go to FUZZ_BUILD_DIR/fuzz-work/<name>, emptied
# first, and a crashing input to FUZZ_BUILD_DIR/fuzz-findings/<name>-*.
# Prints per target the time it ran (wall clock and processor time) and
# ends non-zero when any target found something or did not run.
set -uo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [ $# -lt 1 ]; then
  echo "usage: $0 FUZZ_BUILD_DIR [NAME...]" >&2
  exit 2
fi
BUILD="$(cd "$1" && pwd)"
shift

# Inputs per target: about 30 seconds of processor time each, measured on
# the 2-core development machine. The targets differ
# a hundredfold in speed (a whole package or project per input against one
# command line), so each has its own count. Change a count only together
# with a measurement; the same count and seed give the same inputs.
declare -A RUNS=(
  [command_line]=650000
  [dib_image]=2200000
  [package]=77000
  [project]=90000
  [settings]=90000
  [startup_folder_text]=530000
  [startup_uninstaller_image]=3700000
  [uninstall_data]=100000
)

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for source in "$HERE"/*_fuzz.cpp; do
    stem="$(basename "$source" .cpp)"
    names+=("${stem%_fuzz}")
  done
fi

WORK="$BUILD/fuzz-work"
FINDINGS="$BUILD/fuzz-findings"
mkdir -p "$WORK" "$FINDINGS"
failed=()
for name in "${names[@]}"; do
  target="$BUILD/tests/fuzz/fuzz_$name"
  runs="${RUNS[$name]:-}"
  if [ -z "$runs" ]; then
    echo "fuzz: $name FAILED: no run count in $0"
    failed+=("$name")
    continue
  fi
  if [ ! -x "$target" ]; then
    echo "fuzz: $name FAILED: $target not built"
    failed+=("$name")
    continue
  fi
  rm -rf "${WORK:?}/$name" "$FINDINGS/$name-"*
  mkdir -p "$WORK/$name"
  log="$WORK/$name.log"
  # Wall-clock time and processor time (user plus system) of the run.
  TIMEFORMAT='%R %U %S'
  {
    time "$target" -seed=1 -runs="$runs" -artifact_prefix="$FINDINGS/$name-" \
      "$WORK/$name" "$HERE/corpus/$name" >"$log" 2>&1
  } 2>"$WORK/$name.time"
  status=$?
  read -r wall user system <"$WORK/$name.time"
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.1f", u + s }')
  done_line="$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)"
  if [ "$status" -eq 0 ] && [ -n "$done_line" ]; then
    echo "fuzz: $name passed: $runs inputs in $wall s ($cpu s processor time)"
  else
    echo "fuzz: $name FAILED (exit $status) after $wall s; log: $log"
    grep -E -m 5 'ERROR|SUMMARY|Test unit written' "$log" | sed 's/^/fuzz:   /'
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: FAILED: ${failed[*]}"
  exit 1
fi
echo "fuzz: ${#names[@]} targets passed"
