#!/usr/bin/env bash
# Fails when a given object file or static library holds a fused multiply-add instruction: every product
# in the sound path is rounded before it is added, so the samples are the same on every machine.
set -euo pipefail

# x86 FMA3, FMA4 and AVX-512 forms (vfmadd231pd, vfnmsubsd, vfmaddsubps, ...) and AArch64 (fmadd, fmla, ...)
fused='^(vf(n?m(add|sub)|maddsub|msubadd)|fn?m(add|sub)|fml[as])[a-z0-9.]*$'

# Mnemonics of a disassembly, one a line.
mnemonics() { awk -F'\t' 'NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ { split($2, w, " "); print w[1] }'; }

# The filter itself must see a fused instruction where there is one.
if ! printf '  1a:\tvfmadd231pd %%ymm2,%%ymm1,%%ymm0\n' | mnemonics | grep -Eq "$fused"; then
    echo "check-no-fma: the pattern misses vfmadd231pd" >&2
    exit 2
fi

[ $# -gt 0 ] || { echo "usage: check-no-fma.sh OBJECT-OR-LIBRARY..." >&2; exit 2; }
status=0
for file in "$@"; do
    listing=$(objdump -d --no-show-raw-insn "$file" | mnemonics)
    if [ -z "$listing" ]; then
        echo "check-no-fma: no instructions found in $file" >&2
        status=2
        continue
    fi
    found=$(grep -Ec "$fused" <<< "$listing" || true)
    if [ "$found" -ne 0 ]; then
        echo "$file: $found fused multiply-add instructions:" >&2
        grep -E "$fused" <<< "$listing" | sort | uniq -c >&2
        status=1
    else
        echo "$file: $(wc -l <<< "$listing") instructions, none fused"
    fi
done
exit $status
