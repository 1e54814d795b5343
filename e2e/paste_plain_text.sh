#!/usr/bin/env bash
# End-to-end: the real quillet binary in a real X server. A rich clipboard pasted with the
# keyboard must reach the saved-tabs file as exactly its plain text, and an HTML-only clipboard
# must add nothing. Exits 77 (skipped) when the X tools are missing. Bounded to well under a
# minute.
#
# usage: paste_plain_text.sh QUILLET_BINARY CLIPBOARD_OWNER_BINARY
set -euo pipefail

quillet=$1
owner=$2

source "$(dirname "$0")/lib.sh"
run_under_xvfb "xvfb-run xclip xdotool" "$0" "$@"
use_temporary_home
# One empty restored tab, which the editor shows and focuses at start.
printf '[{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","title":"Untitled","content":"",' \
    >"$state"
printf '"createdAt":"2024-01-01T00:00:00Z"}]' >>"$state"

fail() {
    echo "FAIL: $*"
    echo "state file: $(cat "$state" 2>/dev/null || echo '(missing)')"
    exit 1
}

"$quillet" >"$work/quillet.log" 2>&1 &
pids+=($!)

wait_for_window

# An HTML-only clipboard carries no plain text: the paste must add nothing.
printf '<b>html only</b>' | xclip -selection clipboard -t text/html -i
sleep 0.3
xdotool key --clearmodifiers ctrl+v
sleep 0.3

plain='plain words from the clipboard'
"$owner" "$plain" >"$work/owner.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do
    grep -q ready "$work/owner.out" 2>/dev/null && break
    sleep 0.1
done
targets=$(xclip -selection clipboard -o -t TARGETS)
for target in text/html text/plain image/png text/uri-list; do
    grep -qx "$target" <<<"$targets" || fail "the clipboard does not offer $target"
done

xdotool key --clearmodifiers ctrl+v

# The autosave runs every 5 seconds; give it two chances.
expected="\"content\":\"$plain\""
for _ in $(seq 1 120); do
    if grep -qF "$expected" "$state"; then
        echo "PASS: the state file holds exactly the pasted plain text"
        exit 0
    fi
    sleep 0.1
done
fail "the pasted plain text did not reach the state file"
