#!/usr/bin/env bash
# Runs a command against a fresh Xvfb and ends the server afterwards, with the command's status.
# The server picks a free display itself (-displayfd) and reports it once it accepts clients, so
# tests started side by side never race for one display number (as `xvfb-run -a` does).
# usage: with-xvfb.sh WIDTHxHEIGHTxDEPTH COMMAND [ARG...]
set -euo pipefail

screen=$1
shift
display_file=$(mktemp)
# -noreset: a server that resets when its last client leaves can refuse the next one meanwhile.
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$display_file" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -f "$display_file"' EXIT

for _ in $(seq 1 100); do
    [[ -s "$display_file" ]] && break
    kill -0 "$server" 2>/dev/null || { echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
[[ -s "$display_file" ]] || { echo "with-xvfb: Xvfb reported no display" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$display_file")
unset XAUTHORITY
# Only a server that answers is handed to the command.
for _ in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && break
    kill -0 "$server" 2>/dev/null || { echo "with-xvfb: Xvfb on $DISPLAY ended" >&2; exit 1; }
    sleep 0.1
done

status=0
"$@" || status=$?
exit "$status"
