#!/usr/bin/env bash
# Runs two third-party hosts' plug-in scanners on a built library and fails unless both load it as a
# stereo instrument with MIDI input. The scanners always exit 0, so their output is what is judged.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 PATH/TO/zentharode.so" >&2
    exit 2
fi
plugin=$(realpath "$1")
limit=${SCAN_TIMEOUT:-60}

ardour_dir=/usr/lib/ardour7
ardour_scanner=$ardour_dir/ardour-vst-scanner
qtractor_scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

scan_ardour() {
    if [ ! -x "$ardour_scanner" ]; then
        fail "Ardour scanner not installed ($ardour_scanner)"
        return
    fi
    local output cache
    output=$(cd "$tmp" && LD_LIBRARY_PATH=$ardour_dir HOME=$tmp XDG_CACHE_HOME=$tmp/cache \
        timeout "$limit" "$ardour_scanner" -v -f "$plugin" 2>&1)
    echo "$output"
    if ! grep -q "Found Plugin" <<<"$output"; then
        fail "Ardour did not find the plug-in"
        return
    fi
    cache=$(find "$tmp" -type f -name '*.v2i' | head -n 1)
    if [ -z "$cache" ]; then
        fail "Ardour wrote no cache entry"
        return
    fi
    local attribute
    for attribute in 'is_instrument="1"' 'n_inputs="2"' 'n_outputs="2"'; do
        grep -q "$attribute" "$cache" || fail "Ardour cache entry lacks $attribute"
    done
}

scan_qtractor() {
    if [ ! -x "$qtractor_scanner" ]; then
        fail "Qtractor scanner not installed ($qtractor_scanner)"
        return
    fi
    local output line
    output=$(cd "$tmp" && echo "VST2:$plugin" | HOME=$tmp timeout "$limit" "$qtractor_scanner" 2>&1)
    echo "$output"
    line=$(grep -m 1 '^VST|' <<<"$output")
    if [ -z "$line" ]; then
        fail "Qtractor did not load the plug-in"
        return
    fi
    # VST|name|ins:outs|midiIns:midiOuts|params:0|flags|path|index|id
    local audio midi params midi_ins
    audio=$(cut -d '|' -f 3 <<<"$line")
    midi=$(cut -d '|' -f 4 <<<"$line")
    params=$(cut -d '|' -f 5 <<<"$line")
    midi_ins=${midi%%:*}
    [ "$audio" = "2:2" ] || fail "Qtractor reads audio pins $audio, not 2:2"
    [[ "$midi_ins" =~ ^[0-9]+$ ]] && [ "$midi_ins" -ge 1 ] || fail "Qtractor reads no MIDI input ($midi)"
    [ "${params%%:*}" = "38" ] || fail "Qtractor reads parameters $params, not 38"
}

echo "== Ardour"
scan_ardour
echo "== Qtractor"
scan_qtractor

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "both hosts load $plugin"
