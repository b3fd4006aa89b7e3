#!/usr/bin/env bash
# The main job: load the built plug-in like a host and show what it offers.
set -euo pipefail
build=${1:-build}
"$build/tools/zentharode-list/zentharode-list" "$build/zentharode.so"
