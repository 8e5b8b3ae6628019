#!/usr/bin/env bash
# The real program on a real X server, as a user drives it: Xvfb with the
# openbox window manager, the keyboard and mouse through xdotool.
#   window_on_x.sh VANTREL VANTREL_CLI FIXTURES_DIR
# Help (F1) shows the program's own help window. Two files are added through
# the Add dialog by keyboard and converted; the outputs are probed. With
# "Shut down computer when completed" on, the countdown that follows a
# completed batch must be the active window: run out, it asks for the
# power-off once; converted again and closed with Escape, it asks for
# nothing. The power-off goes to a log file
# (VANTREL_POWER_OFF_LOG), never to the system.
# The titles are checked as the window manager shows them.
# Exits 77 (skipped) when Xvfb, openbox or xdotool is missing.
set -euo pipefail
vantrel=$1 cli=$2 fixtures=$3
countdown=5  # seconds; the product's minute would make the test slow

for tool in Xvfb openbox xdotool xdpyinfo xprop; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (bash scripts/setup.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
power_log=$work/power-off.log
pids=()
finish() {
    local status=$?
    if ((status != 0)) && [[ -n ${E2E_SHOT:-} ]]; then import -window root "$E2E_SHOT" 2>/dev/null || true; fi
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if ((status != 0)) && [[ -s $work/vantrel.log ]]; then
        echo "--- the program's output:"
        cat "$work/vantrel.log"
    fi
    rm -rf "$work"
}
trap finish EXIT

started=$SECONDS
step() { printf '[%2ds] %s\n' $((SECONDS - started)) "$*"; }
fail() {
    echo "FAIL: $*" >&2
    echo "windows on screen:" >&2
    local id
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        echo "  $id $(xdotool getwindowname "$id" 2>/dev/null)" >&2
    done
    echo "active: $(xdotool getactivewindow 2>/dev/null); power-off log: $(cat "$power_log" 2>/dev/null)" >&2
    exit 1
}
# Waits up to $1 seconds for the command after it to succeed; the command
# is run afresh each time, so it must be a function, not "$(...)".
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

# ---- the desktop: Xvfb on a display it picks free itself, then openbox ----
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
wait_for 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n 1 "$work/display")
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_for 10 wm_running || fail "openbox did not start: $(cat "$work/openbox.log")"
step "display $DISPLAY with openbox"

# ---- the program, with its settings and files in the temporary folder ----
home=$work/home out=$work/out
mkdir -p "$home/config/Vantrel" "$out" "$work/runtime"
chmod 700 "$work/runtime"
cat >"$home/config/Vantrel/Options.ini" <<INI
[Options]
OutputPath=$out/
Profile=0
Thread=1
Overwrite=True
ShutdownAfterCompleted=True
INI
# Names with spaces, as users' files have: the dialog takes them quoted.
inputs=("$work/Holiday in Rome.avi" "$work/Skate park.avi")
cp "$fixtures/avi_mpeg4.avi" "${inputs[0]}"
cp "$fixtures/xvid.avi" "${inputs[1]}"
outputs=("$out/Holiday in Rome.3gp" "$out/Skate park.3gp")
: >"$power_log"

# No leak check for the program: libdbus, which Qt loads on X11, leaves a
# buffer behind that LeakSanitizer reports at every exit.
HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$work/runtime \
    VANTREL_POWER_OFF_LOG=$power_log VANTREL_SHUTDOWN_COUNTDOWN_SECONDS=$countdown \
    ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0 \
    "$vantrel" >"$work/vantrel.log" 2>&1 &
vantrel_pid=$!
pids+=("$vantrel_pid")
window=$(timeout 30 xdotool search --sync --name '^Vantrel 3\.6' | head -n 1) || fail "the main window did not appear"
title=$(xdotool getwindowname "$window")
[[ $title == "Vantrel 3.6" ]] || fail "the main window's title is '$title'"
step "main window $window"

focus_window() { xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true; }
active_name() { xdotool getactivewindow getwindowname 2>/dev/null; }
is_active() { [[ $(xdotool getactivewindow 2>/dev/null) == "$1" ]]; }

add_files() {
    focus_window "$window"
    xdotool key ctrl+o
    local dialog
    dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^Choose Files to Convert$' | head -n 1) ||
        fail "the Add dialog did not open"
    wait_for 5 is_active "$dialog" || fail "the Add dialog did not get the keyboard"
    # The file name field has the keyboard when the dialog opens.
    xdotool type --delay 10 "\"${inputs[0]}\" \"${inputs[1]}\""
    xdotool key Return
    wait_for 10 dialog_gone "$dialog" || fail "the Add dialog did not close after Return"
    # The rows appear once both files have been looked at; Convert is off until then.
    sleep 2
}
dialog_gone() { ! xdotool getwindowname "$1" >/dev/null 2>&1 || [[ -z $(xdotool search --onlyvisible --name '^Choose Files to Convert$') ]]; }

convert() {
    focus_window "$window"
    xdotool key ctrl+Return
}

both_written_after() {  # a reference file: both outputs newer than it
    [[ ${outputs[0]} -nt $1 && ${outputs[1]} -nt $1 ]]
}

probe() {
    local info
    info=$("$cli" -i "$1" 2>&1 || true)
    for want in 'Duration: 00:00:04' 'Video: mpeg4' '176x144' 'Audio: aac' '8000 Hz, mono'; do
        [[ $info == *"$want"* ]] || fail "$(basename "$1") lacks '$want':"$'\n'"$info"
    done
}

# The countdown: a window titled "Vantrel" alone (the main window's title
# goes on), the active one, with no other box before it.
countdown_window() { xdotool search --onlyvisible --name '^Vantrel$' 2>/dev/null | head -n 1; }
help_gone() { [[ -z $(xdotool search --onlyvisible --name '^Vantrel Help' 2>/dev/null) ]]; }
has_countdown() { [[ -n $(countdown_window) ]]; }
no_countdown() { [[ -z $(countdown_window) ]]; }
await_countdown() {
    wait_for 20 has_countdown || fail "no countdown after the batch completed"
    local id
    id=$(countdown_window)
    [[ -z $(xdotool search --onlyvisible --name '^Information$' 2>/dev/null) ]] || fail "a completion box came with the countdown"
    wait_for 5 is_active "$id" ||
        fail "the countdown is not the active window; the active one is '$(active_name)'"
}
log_has() { [[ $(wc -l <"$power_log") -eq $1 ]]; }
program_ended() { ! kill -0 "$vantrel_pid" 2>/dev/null; }

# ---- Help: the program's own window, no browser needed ----
focus_window "$window"
xdotool key F1
help=$(timeout 10 xdotool search --sync --onlyvisible --name '^Vantrel Help' | head -n 1) || fail "Help showed no help window"
wait_for 5 is_active "$help" || fail "the help window is not the active window"
xdotool key Escape
wait_for 5 help_gone || fail "Escape did not close the help window"
step "Help showed its window; Escape closed it"

# ---- first batch: converted, probed; the countdown runs out ----
add_files
step "two files added through the Add dialog"
touch "$work/before-first"
convert
wait_for 60 both_written_after "$work/before-first" || fail "the outputs did not appear: $(ls -a "$out")"
step "both files converted"
# Looked at before the probes: the short countdown does not wait for them.
await_countdown
step "the countdown is the active window"
for output in "${outputs[@]}"; do probe "$output"; done
step "both outputs probed"
wait_for $((countdown + 5)) log_has 1 || fail "no power-off was asked for when the countdown ran out"
[[ $(cat "$power_log") == "power-off requested" ]] || fail "the power-off log says: $(cat "$power_log")"
wait_for 5 no_countdown || fail "the countdown stayed after running out"
step "the countdown ran out: one power-off request, in the log"

# ---- second batch: overwritten; Escape keeps the computer on ----
touch "$work/before-second"
convert
wait_for 60 both_written_after "$work/before-second" || fail "the second batch did not overwrite the outputs"
step "both files converted again"
await_countdown
xdotool key Escape
wait_for 5 no_countdown || fail "Escape did not close the countdown"
step "Escape closed the countdown"
for output in "${outputs[@]}"; do probe "$output"; done
sleep $((countdown + 2))
log_has 1 || fail "a cancelled countdown asked for a power-off"
kill -0 "$vantrel_pid" 2>/dev/null || fail "the program ended"
step "no power-off after Escape"

# ---- closed as a user closes it, the program ends cleanly ----
focus_window "$window"
xdotool key alt+F4
status=0
wait_for 20 program_ended || fail "the program did not end when its window was closed"
wait "$vantrel_pid" || status=$?
((status == 0)) || fail "the program ended with status $status"
step "done"
