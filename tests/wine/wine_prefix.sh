# Sourced by the Wine checks: the shared Wine set-up.
#
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
