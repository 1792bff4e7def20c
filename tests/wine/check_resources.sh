#!/bin/bash
# Checks the resources every hsetup.exe must carry, read back with the
# MinGW objdump and objcopy: the manifest (resource 1) asking for
# administrator rights, declaring DPI awareness and common controls 6, the
# icon (group icon 1) and the version resource.
#
#   tests/wine/check_resources.sh EXE...
set -uo pipefail

failed=0
for exe in "$@"; do
  problems=()
  # "type:name" (hexadecimal) of every resource with a numeric name.
  ids="$(x86_64-w64-mingw32-objdump -p "$exe" 2>/dev/null | awk '
    function hex(field) { field = substr(field, 3); sub(/,$/, "", field); sub(/^0+/, "", field); return field }
    /^[0-9a-f]+   Entry: ID: 0x/ { t = hex($4); next }
    /^[0-9a-f]+     Entry: ID: 0x/ { print t ":" hex($4) }')"
  # RT_MANIFEST 24, RT_GROUP_ICON 14, RT_VERSION 16
  for want in "18:1|manifest" "e:1|icon 1" "10:1|version resource"; do
    grep -qx "${want%%|*}" <<<"$ids" || problems+=("no ${want#*|}")
  done
  rsrc="$(mktemp)"
  if x86_64-w64-mingw32-objcopy -O binary --only-section=.rsrc "$exe" "$rsrc" 2>/dev/null; then
    for text in 'level="requireAdministrator"' 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
      '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>'; do
      tr -s ' \r\n' ' ' <"$rsrc" | grep -aqF "$text" || problems+=("manifest lacks $text")
    done
  else
    problems+=("no .rsrc section")
  fi
  rm -f "$rsrc"
  if [ ${#problems[@]} -gt 0 ]; then
    printf 'check_resources: FAIL: %s: %s\n' "$exe" "$(IFS=';'; echo "${problems[*]}")" >&2
    failed=1
  else
    echo "check_resources: ok: $exe"
  fi
done
exit $failed
