#!/usr/bin/env bash
# End-to-end: one Quillet per session. Started with a file, the window is titled by that tab and
# follows typing; a second launch with a file hands it to the running window and exits, as does
# one with no file; a launch that cannot reach the session bus finds the autosave folder locked,
# says Quillet is already running and exits non-zero without writing; after quitting, the saved
# tabs are the first process's; an Open call on the bus then starts Quillet through the service
# file. Runs in Xvfb with a private session bus; exits 77 (skipped) when
# a tool is missing.
#
# usage: instance.sh QUILLET_BINARY
set -euo pipefail

quillet=$1

source "$(dirname "$0")/lib.sh"
run_under_xvfb "Xvfb xdotool dbus-run-session gdbus" "$0" "$@"
if [[ -z "${QUILLET_E2E_BUS:-}" ]]; then
    QUILLET_E2E_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
use_temporary_home

fail() {
    echo "FAIL: $*"
    echo "state file: $(cat "$state" 2>/dev/null || echo '(missing)')"
    cat "$work/quillet.log" 2>/dev/null || true
    exit 1
}

# Waits until the main window's title is $1.
expect_title() {
    local title=
    for _ in $(seq 1 50); do
        title=$(xdotool getwindowname "$window" 2>/dev/null || true)
        [[ "$title" == "$1" ]] && return 0
        sleep 0.1
    done
    fail "the window is titled '$title', not '$1'"
}

cd "$work"
printf '# Alpha\nfirst file' >alpha.md
printf 'beta text' >beta.txt
printf 'gamma text' >gamma.txt

"$quillet" alpha.md >>"$work/quillet.log" 2>&1 &
first=$!
pids+=("$first")
wait_for_window
expect_title "Alpha — Quillet"
xdotool key --clearmodifiers ctrl+End
xdotool type --delay 20 ' typed'
expect_title "• Alpha — Quillet"

# A file given to a second launch opens in the first window.
timeout 20 "$quillet" beta.txt >"$work/second.log" 2>&1 || fail "the second launch failed: $(cat "$work/second.log")"
expect_title "beta text — Quillet"
timeout 20 "$quillet" >"$work/third.log" 2>&1 || fail "the launch without files failed: $(cat "$work/third.log")"
kill -0 "$first" 2>/dev/null || fail "the first process ended"
visible=$(xdotool search --onlyvisible --name 'Quillet$' | wc -l)
[[ "$visible" -eq 1 ]] || fail "$visible windows instead of one"

# Without a bus only the lock speaks: one line, a failure status, nothing written.
for _ in $(seq 1 100); do
    grep -q 'beta text' "$state" 2>/dev/null && break
    sleep 0.1
done
grep -q 'beta text' "$state" || fail "the opened file never reached the state file"
before=$(cat "$state")
status=0
DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus timeout 20 "$quillet" gamma.txt \
    >"$work/nobus.log" 2>&1 || status=$?
[[ "$status" -ne 0 && "$status" -ne 124 ]] || fail "without a bus the launch ended with $status"
grep -q '^Quillet is already running' "$work/nobus.log" ||
    fail "without a bus it said: $(cat "$work/nobus.log")"
[[ "$(grep -c . "$work/nobus.log")" -eq 1 ]] || fail "more than one line: $(cat "$work/nobus.log")"
[[ "$(cat "$state")" == "$before" ]] || fail "the launch without a bus changed the state file"

# Quitting writes the first process's tabs, typed text included.
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers ctrl+q
for _ in $(seq 1 50); do
    kill -0 "$first" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$first" 2>/dev/null && fail "Ctrl+Q did not end Quillet"
for expected in 'first file typed' 'beta text'; do
    grep -q "$expected" "$state" || fail "the saved tabs lack '$expected'"
done
grep -q 'gamma' "$state" && fail "the refused launch's file reached the saved tabs"

# The desktop's way in: Open on a bus where nothing runs starts Quillet through the service
# file, which restores the saved tabs and opens the file. A bus of its own, so that it reads
# the service folder of this home.
services=$XDG_DATA_HOME/dbus-1/services
mkdir -p "$services"
sed "s|@QUILLET_INSTALLED_BINARY@|$quillet|" \
    "$(dirname "$0")/../resources/desktop/org.quillet.Quillet.service.in" \
    >"$services/org.quillet.Quillet.service"
export -f fail wait_until window_shown wait_for_window expect_title
export state work
dbus-run-session -- bash -c '
    set -euo pipefail
    gdbus call --session --dest org.quillet.Quillet --object-path /org/quillet/Quillet \
        --method org.freedesktop.Application.Open "[\"file://$work/gamma.txt\"]" "{}" \
        >/dev/null || fail "Open did not start Quillet"
    wait_for_window
    started=$(xdotool getwindowpid "$window")
    expect_title "gamma text — Quillet"
    xdotool key --clearmodifiers ctrl+q
    for _ in $(seq 1 50); do
        kill -0 "$started" 2>/dev/null || exit 0
        sleep 0.1
    done
    fail "Ctrl+Q did not end the Quillet the bus started"
' || exit 1
for expected in 'first file typed' 'beta text' 'gamma text'; do
    grep -q "$expected" "$state" || fail "after the bus start the saved tabs lack '$expected'"
done
echo "PASS"
