#!/bin/bash
# Sets the machine up, builds everything and runs every test:
#   1. CTest in build/host (unit, sim and tool tests);
#   2. a second host build, build/asan, with AddressSanitizer and
#      UndefinedBehaviorSanitizer, running the unit and sim tests;
#   3. a fuzz build, build/fuzz (clang, libFuzzer), whose targets each run
#      from their corpus for a fixed number of inputs with a fixed seed
#      (tests/fuzz/run.sh);
#   4. the import tables of both hsetup.exe builds (KnownDLLs only) and
#      their resources (manifest, icon, version);
#   5. the Wine end-to-end tests (tests/wine/run.sh) and the Wine checks of
#      the engine's own code;
#   6. pictures of every page at 100, 150 and 200 % (scripts/screenshots.sh,
#      into build/screenshots).
# Ends with one summary line; exits non-zero when anything failed.
set -uo pipefail

REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${HS_BUILD_DIR:-$REPO/build}"
JOBS="${HS_JOBS:-2}"
export HS_BUILD_DIR="$BUILD" HS_JOBS="$JOBS"
START=$SECONDS

"$REPO/scripts/setup.sh" || { echo "test: FAILED: setup"; exit 1; }
SETUP_TIME=$((SECONDS - START))

failed=()
step() {
  local name="$1"
  shift
  local start=$SECONDS
  echo "test: == $name"
  if "$@"; then
    echo "test: $name passed in $((SECONDS - start)) s"
  else
    echo "test: $name FAILED after $((SECONDS - start)) s"
    failed+=("$name")
  fi
}

step ctest-host ctest --test-dir "$BUILD/host" --output-on-failure -j"$JOBS"

asan_build() {
  local log="$BUILD/logs/build-asan.log"
  {
    if [ ! -f "$BUILD/asan/CMakeCache.txt" ]; then
      cmake -S "$REPO" -B "$BUILD/asan" -DCMAKE_BUILD_TYPE=Debug -DHS_SANITIZE=ON
    else
      cmake "$BUILD/asan"
    fi && cmake --build "$BUILD/asan" -j"$JOBS"
  } >"$log" 2>&1 || { tail -n 40 "$log"; echo "(log: $log)"; return 1; }
}
step build-asan asan_build
if [[ " ${failed[*]-} " != *" build-asan "* ]]; then
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  step ctest-asan ctest --test-dir "$BUILD/asan" -L 'unit|sim' --output-on-failure -j"$JOBS"
fi

fuzz_build() {
  local log="$BUILD/logs/build-fuzz.log"
  {
    if [ ! -f "$BUILD/fuzz/CMakeCache.txt" ]; then
      cmake -S "$REPO" -B "$BUILD/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHS_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    else
      cmake "$BUILD/fuzz"
    fi && cmake --build "$BUILD/fuzz" -j"$JOBS" --target fuzz_all
  } >"$log" 2>&1 || { tail -n 40 "$log"; echo "(log: $log)"; return 1; }
}
step build-fuzz fuzz_build
if [[ " ${failed[*]-} " != *" build-fuzz "* ]]; then
  step fuzz "$REPO/tests/fuzz/run.sh" "$BUILD/fuzz"
fi

step imports "$REPO/tests/wine/check_imports.sh" \
  "$BUILD/win-i686/src/platform/win32/hsetup.exe" "$BUILD/win-x86_64/src/platform/win32/hsetup.exe"
step resources "$REPO/tests/wine/check_resources.sh" \
  "$BUILD/win-i686/src/platform/win32/hsetup.exe" "$BUILD/win-x86_64/src/platform/win32/hsetup.exe"
step wine "$REPO/tests/wine/run.sh" "$BUILD"

# The remaining Wine checks run the build this machine's Wine can start: the
# i686 one when 32-bit programs run here, else the x86_64 one.
WINE_ARCH=i686
wine --version >/dev/null 2>&1 || WINE_ARCH=x86_64
echo "test: Wine checks of the engine's own code use the $WINE_ARCH build"
wine_checks() {
  xvfb-run -a "$@"
}
step wine-package wine_checks "$REPO/tests/wine/package_found.sh" "$BUILD" "$BUILD/host/tools/hpack"
step wine-records wine_checks "$REPO/tests/wine/records_run.sh" "$BUILD"
step wine-mutex wine_checks "$REPO/tests/wine/startup_mutex.sh" "$BUILD" "$BUILD/host/tools/hpack"
step wine-sound wine_checks "$REPO/tests/wine/start_sound.sh" "$BUILD" "$BUILD/host/tools/hpack"
step wine-folders wine_checks "$REPO/tests/wine/startup_folders.sh" "$BUILD/win-$WINE_ARCH" "$BUILD"
export HSETUP_I686="$BUILD/win-i686/src/platform/win32/hsetup.exe" HSETUP_X86_64="$BUILD/win-x86_64/src/platform/win32/hsetup.exe"
step wine-uninstaller-image wine_checks "$REPO/tests/wine/startup_uninstaller_image.sh" "$BUILD/host" "$BUILD/host/tools/hpack"
step wine-signed wine_checks "$REPO/tests/wine/signed_installer.sh" "$BUILD" "$BUILD/host/tools/hpack"
step wine-engine wine_checks "$REPO/tests/wine/engine_checks.sh" "$BUILD" "$BUILD/host/tools/hpack"
step screenshots "$REPO/scripts/screenshots.sh" "$BUILD/screenshots"

TOTAL=$((SECONDS - START))
if [ ${#failed[@]} -eq 0 ]; then
  echo "test: ALL PASSED (setup ${SETUP_TIME} s, total ${TOTAL} s)"
  exit 0
fi
echo "test: FAILED: ${failed[*]} (setup ${SETUP_TIME} s, total ${TOTAL} s)"
exit 1
