#!/usr/bin/env bash
# exports_check.sh <objdump> <wsgate.dll>
# The export table of the 32-bit DLL, exactly: the seven functions under
# their __stdcall names at ordinals 4 to 10 and the copy assignments of the
# runtime wrappers at 1 and 2, and nothing else.
set -euo pipefail
objdump=$1 dll=$2
want='1 _ZN9ZEP_MutexaSERKS_
2 _ZN8ZEP_SemaaSERKS_
4 _gsoapws_add_service@24
5 _gsoapws_create@8
6 _gsoapws_delete_service@8
7 _gsoapws_fini@0
8 _gsoapws_init@0
9 _gsoapws_start@8
10 _gsoapws_stop@4'
# "[   7] _gsoapws_init@0" in the name table: the index is the ordinal less
# the ordinal base.
base=$("$objdump" -p "$dll" | sed -n 's/.*Ordinal Base \([0-9]*\).*/\1/p')
got=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
      sed -n 's/^\s*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' | while read -r index name; do
        echo "$((index + base)) $name"; done | sort -n)
if [ "$got" != "$want" ]; then
  echo "export table differs:"; diff <(echo "$want") <(echo "$got") || true; exit 1
fi
echo "exports: ok"
