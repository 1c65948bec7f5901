#!/usr/bin/env bash
# Fails when a pure-core file includes a Windows header, directly or through a
# project header it includes.
set -euo pipefail
list=$1
top=$(cd "$(dirname "$0")/.." && pwd)
bad=0
declare -A seen
check() {
  local f=$1
  [ -n "${seen[$f]:-}" ] && return 0
  seen[$f]=1
  if grep -nE '^\s*#\s*include\s*[<"](windows|winsock2?|ws2tcpip|wininet|shlobj|objbase|wincrypt|winbase|windef|winuser|iphlpapi|tlhelp32)\.h[>"]' "$f"; then
    echo "core file includes a Windows header: $f"; bad=1
  fi
  local inc
  for inc in $(grep -oE '^\s*#\s*include\s*"[^"]+"' "$f" | sed -E 's/.*"([^"]+)"/\1/'); do
    for cand in "$(dirname "$f")/$inc" "$top/$inc"; do
      [ -f "$cand" ] && { check "$(realpath "$cand")"; break; }
    done
  done
}
n=0
while IFS= read -r f; do
  [ -z "$f" ] && continue
  check "$f"; n=$((n+1))
  h="${f%.*}.h"; [ -f "$h" ] && check "$h"
done < "$list"
[ "$n" -gt 0 ] || { echo "no core files listed"; exit 1; }
exit $bad
