#!/usr/bin/env bash
# End-to-end: a session as a user has it. Two tabs made and typed into with the keyboard, the
# preview toggled, Ctrl+Q; a second start finds both tabs with their text. Screenshots of each
# step go to SCREENSHOT_DIR. Exits 77 (skipped) when the X tools are missing.
#
# usage: session.sh QUILLET_BINARY SCREENSHOT_DIR
set -euo pipefail

quillet=$1
shots=$2

if [[ -z "${QUILLET_E2E_INNER:-}" ]]; then
    for tool in xvfb-run xdotool xwd; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
    QUILLET_E2E_INNER=1 exec timeout 50 xvfb-run -a -s "-screen 0 1280x800x24" \
        bash "$0" "$@"
fi

work=$(mktemp -d)
pid=
cleanup() {
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$shots"
chmod 700 "$XDG_RUNTIME_DIR"
state=$XDG_DATA_HOME/Quillet/autosave/tabs.json

fail() {
    echo "FAIL: $*"
    echo "state file: $(cat "$state" 2>/dev/null || echo '(missing)')"
    cat "$work/quillet.log" 2>/dev/null || true
    exit 1
}

start() {
    "$quillet" >>"$work/quillet.log" 2>&1 &
    pid=$!
    window=
    for _ in $(seq 1 100); do
        window=$(xdotool search --onlyvisible --name '^Quillet$' 2>/dev/null | head -n1 || true)
        [[ -n "$window" ]] && break
        sleep 0.1
    done
    [[ -n "$window" ]] || fail "no Quillet window appeared"
    xdotool windowfocus --sync "$window"
    sleep 0.5
}

# The whole screen as X has it; PNG where a converter is at hand, the X dump otherwise.
shot() {
    local base=$shots/session-$1
    xwd -root -silent >"$base.xwd"
    if command -v convert >/dev/null && convert "$base.xwd" "$base.png" 2>/dev/null; then
        rm -f "$base.xwd"
    fi
}

start
shot 1-welcome
xdotool key --clearmodifiers ctrl+n
sleep 0.3
xdotool type --delay 20 'first tab words'
shot 2-first-tab
xdotool key --clearmodifiers ctrl+t
sleep 0.3
xdotool type --delay 20 'second tab words'
xdotool key --clearmodifiers ctrl+p
sleep 0.3
shot 3-split-preview
xdotool key --clearmodifiers ctrl+q
for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "Ctrl+Q did not end the application"
wait "$pid" || true
pid=

grep -qF '"content":"first tab words"' "$state" || fail "the first tab was not saved"
grep -qF '"content":"second tab words"' "$state" || fail "the second tab was not saved"

start
shot 4-restarted
kill "$pid"
wait "$pid" || true
pid=
grep -qF '"content":"first tab words"' "$state" || fail "the first tab did not come back"
grep -qF '"content":"second tab words"' "$state" || fail "the second tab did not come back"
echo "PASS: both tabs and their text survived a quit and a new start"
