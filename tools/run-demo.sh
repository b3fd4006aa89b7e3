#!/usr/bin/env bash
# The main job: load the built plug-in like a host and show what it offers.
set -euo pipefail
build=${1:-build}
"$build/tools/zentharode-list/zentharode-list" "$build/zentharode.so"
# Then play the built-in phrase on each factory program into demo/, one WAV per program.
echo
echo "Rendering the demo phrase on the eight factory programs into demo/:"
"$build/tools/zentharode-render/zentharode-render" --plugin "$build/zentharode.so" --demo demo >/dev/null
ls -l demo/*.wav
