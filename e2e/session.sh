#!/usr/bin/env bash
# End-to-end: a session as a user has it. Two tabs made and typed into with the keyboard, the
# preview toggled, Ctrl+Q; a second start shows both tabs with their text, read back from the
# editor through the clipboard; Ctrl+, opens the settings, a click on "Dark" stores the choice and
# darkens the main window, and Ctrl+Q still ends the application with the settings open.
# Screenshots of each step go to SCREENSHOT_DIR (PNG with netpbm, the X dump without it). Exits
# 77 (skipped) when the X tools are missing.
#
# usage: session.sh QUILLET_BINARY SCREENSHOT_DIR
set -euo pipefail

quillet=$1
shots=$2

source "$(dirname "$0")/lib.sh"
run_under_xvfb "Xvfb xdotool xwd xclip" "$0" "$@"
use_temporary_home

# Every screenshot of this flow is named session-<step>.
shot_step() { shot "session-$1"; }

# The text of the tab the editor shows, as the user would copy it out.
shown_text() {
    printf '' | xclip -selection clipboard -i
    xdotool key --clearmodifiers ctrl+a ctrl+c
    sleep 0.3
    xclip -selection clipboard -o 2>/dev/null || true
}

# The mean brightness (0 to 255) of the window `$1`; empty without netpbm.
brightness() {
    command -v pamscale >/dev/null && command -v pamdepth >/dev/null || return 0
    xwd -id "$1" -silent | xwdtopnm 2>/dev/null | pamdepth 255 2>/dev/null |
        pamscale -xsize 1 -ysize 1 2>/dev/null |
        pamtopnm -plain 2>/dev/null | tail -n +4 | awk '{ print int(($1 + $2 + $3) / 3) }'
}

start_quillet
shot_step 1-welcome
xdotool key --clearmodifiers ctrl+n
sleep 0.3
xdotool type --delay 20 'first tab words'
shot_step 2-first-tab
xdotool key --clearmodifiers ctrl+t
sleep 0.3
xdotool type --delay 20 'second tab words'
xdotool key --clearmodifiers ctrl+p
sleep 0.3
shot_step 3-split-preview
xdotool key --clearmodifiers ctrl+q
await_exit "Ctrl+Q did not end the application"

grep -qF '"content":"first tab words"' "$state" || fail "the first tab was not saved"
grep -qF '"content":"second tab words"' "$state" || fail "the second tab was not saved"

start_quillet
shot_step 4-restarted
# Both tabs are back on screen: the editor shows one, the next-tab command the other, and once
# more the first, so there are exactly two.
seen=()
for _ in 1 2 3; do
    seen+=("$(shown_text)")
    xdotool key --clearmodifiers ctrl+shift+bracketright
    sleep 0.3
done
printf '%s\n' "${seen[@]:0:2}" | sort | paste -sd '|' | grep -qx 'first tab words|second tab words' ||
    fail "the restarted window shows '${seen[0]}' and '${seen[1]}'"
[[ "${seen[2]}" == "${seen[0]}" ]] || fail "a third tab '${seen[2]}' came back"

before=$(brightness "$window")
xdotool key --clearmodifiers ctrl+comma
settings=
for _ in $(seq 1 50); do
    settings=$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | head -n1 || true)
    [[ -n "$settings" ]] && break
    sleep 0.1
done
[[ -n "$settings" ]] || fail "Ctrl+, opened no settings window"
sleep 0.5
shot_step 5-settings
# The "Dark" segment: the right end of the theme picker, in the first row of "Appearance".
xdotool mousemove --window "$settings" 397 90 click 1
for _ in $(seq 1 30); do
    grep -qx 'appTheme=dark' "$config" 2>/dev/null && break
    sleep 0.1
done
grep -qx 'appTheme=dark' "$config" 2>/dev/null ||
    fail "choosing Dark stored '$(grep appTheme "$config" 2>/dev/null)'"
sleep 0.3
shot_step 6-dark
after=$(brightness "$window")
if [[ -n "$before" && -n "$after" ]]; then
    ((after + 60 < before)) || fail "the main window did not turn dark ($before -> $after)"
fi

# Quitting from the main window ends the application with the settings window still open.
xdotool windowfocus --sync "$window"
sleep 0.2
xdotool key --clearmodifiers ctrl+q
await_exit "Ctrl+Q did not end the application while the settings were open"
echo "PASS: both tabs came back on screen, and Dark chosen in the settings darkened the window"
