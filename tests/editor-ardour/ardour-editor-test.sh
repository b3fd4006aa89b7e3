#!/usr/bin/env bash
# The editor inside a real host: Ardour 7's GUI on a virtual display opens the plug-in's window by itself; the
# picture must equal the reference, a knob dragged with synthetic input must move the parameter that the
# saved session holds and redraw nothing but the knob and its read-out, and closing and opening the editor
# again must show exactly the window the drag left.
set -uo pipefail

if [ $# -ne 4 ] || [ ! -f "$1" ] || [ ! -x "$2" ] || [ ! -f "$3" ]; then
    echo "usage: $0 PATH/TO/zentharode.so PATH/TO/editor_window_tool REFERENCE.png OUTPUT-FOLDER" >&2
    exit 2
fi
plugin=$(realpath "$1")
tool=$(realpath "$2")
reference=$(realpath "$3")
out=$(realpath -m "$4")
limit=${ARDOUR_TEST_LIMIT:-110} # seconds for the whole test, below CTest's timeout

ardour=/usr/bin/ardour
ardour_lua=/usr/bin/ardour7-lua
ardour_scanner=/usr/lib/ardour7/ardour-vst-scanner
start_attempts=3

# Window coordinates of the "Volume" knob and its read-out: "Main" panel at (10, 130), anchor (15, 15).
knob_box=25,159,40,40
readout_box=19,201,50,12
# The drag: from just inside the knob's top edge round to the left of its centre (45, 179).
drag_path=("45 161" "35 167" "23 179")
volume_param=35
# Where the plug-in's entry sits in the track's mixer strip (Ardour 7.3, default window size, 1280 x 800 screen).
mixer_entry="331 195"

started=$SECONDS
tmp=$(mktemp -d)
mkdir -p "$out"
rm -f "$out"/ardour-*.png
xvfb_pid=""
ardour_pid=""
watchdog_pid=""

# Runs a check until it passes or the seconds run out; answers whether it passed.
poll() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    while ! "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}

# Ardour runs in a process group of its own, which goes as a whole.
stop_ardour() {
    [ -n "$ardour_pid" ] || return 0
    kill -TERM -- "-$ardour_pid" 2>/dev/null
    poll 5 eval '! kill -0 "$ardour_pid" 2>/dev/null' || kill -KILL -- "-$ardour_pid" 2>/dev/null
    wait "$ardour_pid" 2>/dev/null
    ardour_pid=""
}

cleanup() {
    trap - EXIT INT TERM
    [ -n "$watchdog_pid" ] && kill "$watchdog_pid" 2>/dev/null
    stop_ardour
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'echo "FAIL: stopped after ${limit} s or by a signal" >&2; exit 1' INT TERM

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$tmp/ardour.log" ]; then
        echo "--- last lines of Ardour's output" >&2
        tail -n 15 "$tmp/ardour.log" >&2
    fi
    [ -n "${DISPLAY:-}" ] && "$tool" grab root "$out/ardour-screen.png" 2>/dev/null \
        && echo "the whole screen: $out/ardour-screen.png" >&2
    exit 1
}

step() {
    printf '[%3d s] %s\n' $((SECONDS - started)) "$*"
}

for program in "$ardour" "$ardour_lua" "$ardour_scanner" Xvfb xdotool; do
    command -v "$program" >/dev/null || fail "$program is not installed (tools/install-deps.sh test installs it)"
done

# The hard limit: the TERM trap above cleans up whatever runs. The watchdog takes its sleep with it when it
# is stopped, and keeps off the test's output, which the test runner reads until every writer is gone.
(
    trap 'kill "$sleeper" 2>/dev/null; wait "$sleeper"; exit 0' TERM
    sleep "$limit" &
    sleeper=$!
    wait "$sleeper" && kill -TERM $$
) >/dev/null 2>&1 &
watchdog_pid=$!

# A virtual screen on a free display, 24 bits so that pictures keep the editor's exact colours.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
poll 10 test -s "$tmp/display" || fail "Xvfb did not start: $(cat "$tmp/xvfb.log")"
export DISPLAY=":$(head -n 1 "$tmp/display")"
step "virtual screen $DISPLAY"

# Ardour's whole world lives in the temporary folder.
home=$tmp/home
mkdir -p "$home/.config/ardour7" "$home/.cache" "$home/.local/share" "$tmp/vst"
run_ardour_tool() {
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
        XDG_DATA_HOME="$home/.local/share" DISPLAY="$DISPLAY" LANG=C.UTF-8 NO_AT_BRIDGE=1 "$@"
}

# The cache entry counts only when the library is older than it: a library written in the same second as
# its scan is taken as changed since and left out.
cp "$plugin" "$tmp/vst/zentharode.so"
touch -d '2000-01-01 00:00:00' "$tmp/vst/zentharode.so"
(cd "$tmp" && run_ardour_tool LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 60 "$ardour_scanner" -f "$tmp/vst/zentharode.so") \
    >"$tmp/scan.log" 2>&1
ls "$home/.cache/ardour7/vst/"*.v2i >/dev/null 2>&1 || fail "Ardour's scanner did not take the plug-in: $(tail -n 5 "$tmp/scan.log")"

# An empty .a7 skips the first-run wizard; an active "None (Dummy)" set-up starts the engine without asking;
# VST editors are destroyed when their window closes, so that closing calls effEditClose and showing effEditOpen.
touch "$home/.config/ardour7/.a7"
cat >"$home/.config/ardour7/config" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="plugin-path-lxvst" value="$tmp/vst"/>
    <Option name="plugin-path-vst" value=""/>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="discover-plugins-on-start" value="0"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="" device="Silence" input-device="" output-device="" sample-rate="48000" buffer-size="1024" n-periods="2" input-latency="0" output-latency="0" input-channels="0" output-channels="0" active="1" use-buffered-io="0" midi-option="" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF
cat >"$home/.config/ardour7/ui_config" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <UI>
    <Option name="plugin-gui-behavior" value="PluginGUIDestroyVST"/>
    <Option name="check-announcements" value="0"/>
  </UI>
</Ardour>
EOF

# The session, made without the GUI: one MIDI track with the plug-in as its instrument.
cat >"$tmp/make-session.lua" <<'EOF'
local folder, name = arg[1], arg[2]
assert(create_session(folder, name, 48000), "cannot create the session")
local synth = ARDOUR.LuaAPI.new_plugin_info("Zentharode", ARDOUR.PluginType.LXVST)
assert(not synth:isnil(), "Ardour does not know the plug-in")
local tracks = Session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
    ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, synth, nil, nil, 1, "Synth",
    ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
local track = tracks:front()
assert(not track:nth_plugin(0):isnil(), "the track has no instrument")
Session:save_state("", false, false, false, false, false)
print("ids " .. track:to_stateful():id():to_s() .. " " .. track:nth_plugin(0):to_stateful():id():to_s())
close_session()
EOF
session=$tmp/session
ids=""
for attempt in 1 2 3; do
    rm -rf "$session"
    ids=$(cd "$tmp" && run_ardour_tool timeout 60 "$ardour_lua" "$tmp/make-session.lua" "$session" zt 2>&1 \
        | tee "$tmp/lua.log" | sed -n 's/^ids \([0-9]*\) \([0-9]*\)$/\1 \2/p')
    [ -n "$ids" ] && [ -f "$session/zt.ardour" ] && break
done
[ -n "$ids" ] || fail "Ardour's Lua session tool made no session: $(tail -n 5 "$tmp/lua.log")"
read -r route_id processor_id <<<"$ids"
# Ardour opens the plug-in windows a session lists as visible when it loads the session.
sed -i "s|^</Session>|  <Extra>\n    <UI>\n      <Window name=\"P-$route_id-$processor_id\" visible=\"1\" custom-ui=\"1\"/>\n    </UI>\n  </Extra>\n</Session>|" \
    "$session/zt.ardour"
cp -a "$session" "$tmp/session.pristine"
step "session with the plug-in (route $route_id, processor $processor_id)"

volume_in_session() {
    sed -n "s/.*<Controllable [^>]*value=\"\([^\"]*\)\"[^>]*parameter=\"$volume_param\".*/\1/p" "$session/zt.ardour" | head -n 1
}
volume_before=$(volume_in_session)
[ -n "$volume_before" ] || fail "the session holds no value for parameter $volume_param"

# Sets: vst_top (the host's window), vst_inner (the plug-in's), vst_x, vst_y, vst_width, vst_height.
find_editor() {
    local found
    found=$("$tool" find "[VST]" 2>/dev/null) || return 1
    read -r vst_top vst_inner vst_x vst_y vst_width vst_height <<<"$found"
    [ "$vst_width" = 851 ] && [ "$vst_height" = 311 ]
}
editor_gone() {
    ! "$tool" find "[VST]" >/dev/null 2>&1
}
ardour_alive() {
    kill -0 "$ardour_pid" 2>/dev/null
}
editor_or_exit() {
    find_editor || ! ardour_alive
}

# Ardour 7.3 now and then crashes while it starts (races of its own): each attempt starts from the saved session.
for attempt in $(seq 1 $start_attempts); do
    rm -rf "$session"
    cp -a "$tmp/session.pristine" "$session"
    (cd "$tmp" && exec setsid env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        XDG_CACHE_HOME="$home/.cache" XDG_DATA_HOME="$home/.local/share" DISPLAY="$DISPLAY" LANG=C.UTF-8 \
        NO_AT_BRIDGE=1 "$ardour" -a -n "$session/zt.ardour") >"$tmp/ardour.log" 2>&1 &
    ardour_pid=$!
    if poll 25 editor_or_exit && ardour_alive; then
        break
    fi
    step "Ardour did not come up (attempt $attempt), starting it again"
    stop_ardour
done
[ -n "$ardour_pid" ] || fail "Ardour did not open the plug-in's editor in $start_attempts attempts"
step "Ardour shows the editor: window $vst_inner at ($vst_x, $vst_y)"

grab() {
    "$tool" grab "$vst_inner" "$1"
}
same_as() {
    grab "$tmp/now.png" && "$tool" compare "$tmp/now.png" "$1" "${@:2}" >"$tmp/compare.txt"
}

# The first picture, once drawn, is the reference picture.
if ! poll 10 same_as "$reference"; then
    cp "$tmp/now.png" "$out/ardour-open.png"
    "$tool" compare "$out/ardour-open.png" "$reference" "$out/ardour-open-diff.png"
    fail "the editor Ardour opened differs from $reference: $(cat "$tmp/compare.txt") (pictures in $out)"
fi
cp "$tmp/now.png" "$out/ardour-open.png"
step "the opened editor equals $(basename "$reference")"

# The drag, with pauses so that the knob's tracking loop sees every position.
read -r first_x first_y <<<"${drag_path[0]}"
moves=(mousemove $((vst_x + first_x)) $((vst_y + first_y)) sleep 0.3 mousedown 1 sleep 0.3)
for point in "${drag_path[@]:1}"; do
    read -r px py <<<"$point"
    moves+=(mousemove $((vst_x + px)) $((vst_y + py)) sleep 0.3)
done
moves+=(mouseup 1 sleep 0.2)
xdotool "${moves[@]}" || fail "xdotool could not drag"

# The host's next idle calls redraw the read-out: wait for the picture the drag must leave, then say what
# is wrong with the last one if it never comes.
dragged=$out/ardour-dragged.png
drag_problem=""
drawn_as_dragged() {
    drag_problem="cannot read the editor's window"
    grab "$dragged" || return 1
    if ! "$tool" compare "$dragged" "$reference" "$out/ardour-dragged-diff.png" --except "$knob_box" \
        --except "$readout_box" >"$tmp/compare.txt"; then
        drag_problem="the drag changed the window outside the knob and its read-out: $(cat "$tmp/compare.txt") (red in $out/ardour-dragged-diff.png)"
    elif "$tool" compare "$dragged" "$reference" --except "$readout_box" >/dev/null; then
        drag_problem="the knob did not move"
    elif "$tool" compare "$dragged" "$reference" --except "$knob_box" >/dev/null; then
        drag_problem="the read-out did not follow the knob"
    else
        return 0
    fi
    return 1
}
poll 5 drawn_as_dragged || fail "$drag_problem (the window: $dragged)"
rm -f "$out/ardour-dragged-diff.png"
step "the drag moved the knob and its read-out and nothing else"

# Saving: keys go to the focused window, Ardour's main window.
main_found=$("$tool" find " - Ardour") || fail "Ardour's main window is missing"
main_window=${main_found%% *}
xdotool windowfocus --sync "$main_window" key ctrl+s || fail "xdotool could not send Ctrl+S"
volume_moved() {
    local now
    now=$(volume_in_session)
    [ -n "$now" ] && awk -v a="$now" -v b="$volume_before" 'BEGIN { d = a - b; exit !(d > 0.01 || d < -0.01) }'
}
poll 10 volume_moved || fail "the saved session still holds volume $(volume_in_session), as before the drag"
step "the saved session holds volume $(volume_in_session) (was $volume_before)"

# Closing as a window manager would; the editor's window goes away with the host's.
"$tool" close "$vst_top" || fail "could not ask Ardour to close the editor"
poll 10 editor_gone || fail "the editor did not close"
step "editor closed"

# Opening again: a double click on the plug-in in the track's mixer strip.
xdotool windowfocus --sync "$main_window" key alt+m sleep 1 || fail "xdotool could not show the mixer"
read -r ex ey <<<"$mixer_entry"
xdotool mousemove "$ex" "$ey" sleep 0.2 click --repeat 2 --delay 100 1 || fail "xdotool could not click"
poll 10 find_editor || fail "a double click on the mixer strip's plug-in entry at ($ex, $ey) did not open the editor"
if ! poll 10 same_as "$dragged"; then
    cp "$tmp/now.png" "$out/ardour-reopened.png"
    "$tool" compare "$out/ardour-reopened.png" "$dragged" "$out/ardour-reopened-diff.png"
    fail "the editor opened again differs from the window the drag left: $(cat "$tmp/compare.txt") (pictures in $out)"
fi
cp "$tmp/now.png" "$out/ardour-reopened.png"
step "the editor opened again equals the window the drag left"

stop_ardour
echo "Ardour's editor test passed in $((SECONDS - started)) s"
