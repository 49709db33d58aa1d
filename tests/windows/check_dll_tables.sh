#!/usr/bin/env bash
# The Windows DLLs' export and import tables: ZorvanOCI.dll exports exactly
# ZorvanPack and DllMain and imports only Windows' own DLLs (OCI.dll is
# loaded at run time, never imported); OCI.dll exports every OCI function.
set -euo pipefail
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
plugin=$1
client=$2
failed=0

exports() { "$objdump" -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^\t\[/{print $NF;next} t&&!/^\t\[/{t=0}'; }
imports() { "$objdump" -p "$1" | awk '/DLL Name:/{print toupper($3)}'; }

got=$(exports "$plugin" | sort | tr '\n' ' ')
if [ "$got" != "DllMain ZorvanPack " ]; then
  echo "FAIL: $plugin exports: $got"; failed=1
fi
for dll in $(imports "$plugin"); do
  case "$dll" in
    KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|MSVCRT.DLL) ;;
    *) echo "FAIL: $plugin imports $dll"; failed=1 ;;
  esac
done
count=$(exports "$client" | grep -c '^OCI' || true)
if [ "$count" -ne 139 ]; then
  echo "FAIL: $client exports $count OCI functions, not 139"; failed=1
fi
for dll in $(imports "$client"); do
  case "$dll" in
    KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|MSVCRT.DLL) ;;
    *) echo "FAIL: $client imports $dll"; failed=1 ;;
  esac
done
if [ "$failed" -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit "$failed"
