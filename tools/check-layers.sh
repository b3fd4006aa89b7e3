#!/usr/bin/env bash
# Fails when a folder includes from a layer it may not depend on: the sound (dsp, params, engine) knows no
# plug-in format, window system or drawing library; the editor reaches a plug-in only through its
# controller interface. Run from anywhere; checks the source tree this script lives in.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top" || exit 2

# folder: the project folders it may include from (besides itself)
declare -A allowed=(
    [dsp]=""
    [params]="dsp"
    [engine]="dsp params"
    [resources]=""
    [toolkit]="resources"
    [editor]="toolkit resources params" # the parameter indices only
    [plugin]="dsp params engine editor toolkit resources"
    [lv2]="dsp params engine editor toolkit resources"  # front ends, like plugin
    [jack]="dsp params engine editor toolkit resources"
)
# System headers the sound layers must not use.
forbidden_system='<(X11|cairo|fontconfig|lv2|jack|lilv)[/.]'

failures=0
for folder in "${!allowed[@]}"; do
    [ -d "$folder" ] || continue
    while IFS= read -r line; do
        file=${line%%:*}
        target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")
        [ "$target" = "$folder" ] && continue
        if ! grep -qw -- "$target" <<<"${allowed[$folder]}"; then
            echo "layer violation: $file includes from $target/"
            failures=$((failures + 1))
        fi
    done < <(grep -rHE '#include "[^/"]+/' "$folder" --include='*.h' --include='*.cpp')
    case $folder in
    dsp | params | engine)
        if grep -rnE "#include $forbidden_system|VstInterface" "$folder" --include='*.h' --include='*.cpp'; then
            echo "the sound layer $folder/ uses a plug-in format, window or drawing header"
            failures=$((failures + 1))
        fi
        ;;
    esac
done

if [ "$failures" -gt 0 ]; then
    echo "$failures layer violation(s)"
    exit 1
fi
echo "layers: every folder includes only from the layers below it"
