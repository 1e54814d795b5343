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
run_under_xvfb "Xvfb xclip xdotool jq" "$0" "$@"
use_temporary_home
# One empty restored tab, which the editor shows and focuses at start.
write_state '""'
start_quillet

# An HTML-only clipboard carries no plain text: the paste must add nothing.
printf '<b>html only</b>' | xclip -selection clipboard -i -t text/html
sleep 0.3
press ctrl+v
sleep 0.3

plain='plain words from the clipboard'
"$owner" "$plain" >"$work/owner.out" 2>&1 &
pids+=($!)
wait_until "the clipboard owner did not start" grep -q ready "$work/owner.out"
targets=$(xclip -selection clipboard -o -t TARGETS)
for target in text/html text/plain image/png text/uri-list; do
    grep -qx "$target" <<<"$targets" || fail "the clipboard does not offer $target"
done

press ctrl+v
# The autosave runs every 5 seconds; give it two chances.
E2E_WAIT=12 wait_until "the pasted plain text did not reach the state file" \
    state_is "\"$plain\""
echo "PASS: the state file holds exactly the pasted plain text"
