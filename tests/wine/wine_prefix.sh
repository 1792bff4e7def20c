# Sourced by the Wine checks: the shared Wine set-up.
#
#   start_wine_check WORK_NAME [BUILD [HPACK]]   (REPO and HERE must be set)
#   use_wine_prefix WORK_NAME   (BUILD must be set)
#
# Sets WINEPREFIX (BUILD/wine-prefix, made once with wineboot), quiet Wine
# without its Mono and Gecko add-ons, LIMIT (seconds a Wine call may take),
# WORK (an empty BUILD/wine-work/WORK_NAME) and WINE: the `wine` command, or
# Wine's 64-bit loader where the 32-bit one cannot start on this kernel.
use_wine_prefix() {
  export WINEPREFIX="$BUILD/wine-prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  LIMIT=60
  WORK="$BUILD/wine-work/$1"
  rm -rf "$WORK"
  mkdir -p "$WORK" "$BUILD/logs"

  WINE=wine
  if ! wine --version >/dev/null 2>&1; then
    WINE=/usr/lib/wine/wine64
    export WINELOADER="$WINE"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 600 "$WINE" wineboot.exe -i >"$BUILD/logs/wineboot.log" 2>&1 || { echo "wine: FAIL: no prefix" >&2; exit 1; }
    timeout 120 wineserver -w || true
  fi
}

# Sets STUB to the first hsetup.exe this Wine runs and ARCH to its
# architecture (i686 first; the x86_64 build where 32-bit Wine does not
# start). Candidates: HSETUP_I686 / HSETUP_X86_64, then the win-<arch> and
# dev-<arch> folders of BUILD. Ends the script when there is none.
#
#   use_engine_build   (after use_wine_prefix; HERE must be set)
use_engine_build() {
  STUB=""
  ARCH=""
  local arch given exe
  for arch in i686 x86_64; do
    given="HSETUP_${arch^^}"
    for exe in "${!given:-}" "$BUILD/win-$arch/src/platform/win32/hsetup.exe" \
      "$BUILD/dev-$arch/src/platform/win32/hsetup.exe"; do
      [ -n "$exe" ] && [ -f "$exe" ] || continue
      "$arch-w64-mingw32-gcc" -O2 -mwindows -o "$WORK/probe-$arch.exe" "$HERE/probe.c" || continue
      if [ "$(timeout "$LIMIT" "$WINE" "$WORK/probe-$arch.exe" >/dev/null 2>&1; echo $?)" = 42 ]; then
        STUB="$exe"
        ARCH="$arch"
        return 0
      fi
    done
  done
  echo "wine: FAIL: no hsetup.exe this Wine runs under $BUILD" >&2
  exit 1
}

# The start of a check that takes the build folder and hpack as its
# arguments: sets BUILD (default REPO/build) and HPACK (default its
# host/tools/hpack), runs the script again under Xvfb when there is no
# display, then takes the prefix (use_wine_prefix WORK_NAME) and the engine
# build (use_engine_build).
start_wine_check() {
  local name="$1"
  BUILD="$(cd "${2:-$REPO/build}" && pwd)"
  HPACK="${3:-$BUILD/host/tools/hpack}"
  if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$BUILD" "$HPACK"
  fi
  use_wine_prefix "$name"
  use_engine_build
}
