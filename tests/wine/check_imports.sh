#!/bin/bash
# Fails when an executable imports at link time any DLL that Windows does
# not load from its KnownDLLs list. Such a DLL would be searched for beside
# the installer first, where anyone could have planted one.
#
#   tests/wine/check_imports.sh EXE...
set -euo pipefail

# Libraries Windows maps from \KnownDLLs (or, for ntdll, always has loaded).
ALLOWED="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
shlwapi.dll msvcrt.dll ntdll.dll comdlg32.dll ws2_32.dll imm32.dll rpcrt4.dll psapi.dll"

failed=0
for exe in "$@"; do
  if [ ! -f "$exe" ]; then
    echo "check_imports: $exe: not found" >&2
    failed=1
    continue
  fi
  # objdump of either MinGW target reads both PE32 and PE32+.
  names="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr 'A-Z' 'a-z' | sort -u)"
  if [ -z "$names" ]; then
    echo "check_imports: $exe: no import table found" >&2
    failed=1
    continue
  fi
  bad=""
  for name in $names; do
    case " $(echo $ALLOWED) " in
      *" $name "*) ;;
      *) bad="$bad $name" ;;
    esac
  done
  if [ -n "$bad" ]; then
    echo "check_imports: FAIL: $exe imports DLLs outside KnownDLLs:$bad" >&2
    failed=1
  else
    echo "check_imports: ok: $exe imports only:" $names
  fi
done
exit $failed
