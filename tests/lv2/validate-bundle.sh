#!/usr/bin/env bash
# Runs Debian's LV2 validators on the bundle and reads what they print (they exit 0 on many faults): any
# error or warning line, a missing plug-in URI or a GUI library in the plug-in binary fails the test.
# Usage: validate-bundle.sh BUNDLE_DIR PLUGIN_URI
set -uo pipefail
bundle=$(cd "$1" && pwd) || exit 2
uri=$2
limit=120
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Lines that report a fault, case-insensitively, besides the summary line checked on its own.
faults() {
    grep -iE 'error|warn|invalid|fail|not found|missing' | grep -vE '^Found 0 errors among [0-9]+ files' || true
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The LV2 vocabularies alone (bundles without a binary: no other plug-ins), and the bundle, on the hosts'
# search path.
mkdir -p "$work/vocabularies"
for vocabulary in /usr/lib/lv2/*.lv2; do
    if [ -f "$vocabulary/manifest.ttl" ] && ! grep -q 'lv2:binary' "$vocabulary/manifest.ttl"; then
        ln -s "$vocabulary" "$work/vocabularies/"
    fi
done
export LV2_PATH="$work/vocabularies:$(dirname "$bundle")"

echo "== lv2_validate"
# The Debian script lists one schema file that the package does not ship; it says so and goes on.
timeout $limit lv2_validate "$bundle"/*.ttl >"$work/validate.txt" 2>&1
cat "$work/validate.txt"
grep -v '^Skipping file /usr/lib/lv2/' "$work/validate.txt" | faults >"$work/bad.txt"
[ -s "$work/bad.txt" ] && fail "lv2_validate: $(cat "$work/bad.txt")"
grep -qE '^Found 0 errors among [0-9]+ files' "$work/validate.txt" || fail "lv2_validate gave no clean summary"
grep -q 'Skipping file .*zentharode' "$work/validate.txt" && fail "lv2_validate skipped a file of the bundle"

echo "== lv2info"
timeout $limit lv2info "$uri" >"$work/info.txt" 2>&1 || fail "lv2info exited with $?"
cat "$work/info.txt"
faults <"$work/info.txt" >"$work/bad.txt"
[ -s "$work/bad.txt" ] && fail "lv2info: $(cat "$work/bad.txt")"
[ "$(head -n 1 "$work/info.txt")" = "$uri" ] || fail "lv2info does not name $uri"
grep -q 'Class: *Instrument Plugin' "$work/info.txt" || fail "lv2info: not an instrument"
grep -q 'Port 43:' "$work/info.txt" || fail "lv2info: fewer than 44 ports"
grep -q 'pneumatic vorn' "$work/info.txt" || fail "lv2info: no factory presets"

echo "== lv2bench"
timeout $limit lv2bench "$uri" >"$work/bench.txt" 2>&1 || fail "lv2bench exited with $?"
cat "$work/bench.txt"
faults <"$work/bench.txt" >"$work/bad.txt"
[ -s "$work/bad.txt" ] && fail "lv2bench: $(cat "$work/bad.txt")"
grep -qE "^[0-9.]+ $uri\$" "$work/bench.txt" || fail "lv2bench did not run $uri"

echo "== binaries"
# The sound side builds and runs without the GUI libraries; the UI is the one that has them.
needed=$(readelf -d "$bundle/zentharode.so" | grep NEEDED)
echo "$needed"
grep -qiE 'X11|cairo|fontconfig' <<<"$needed" && fail "the plug-in binary needs a GUI library"
for symbol in lv2_descriptor:zentharode.so lv2ui_descriptor:zentharode_ui.so; do
    nm -D --defined-only "$bundle/${symbol#*:}" | grep -qw "${symbol%%:*}" || fail "${symbol#*:} exports no ${symbol%%:*}"
done

if [ "$failures" -gt 0 ]; then
    echo "$failures validator finding(s)"
    exit 1
fi
echo "validators: no error or warning"
