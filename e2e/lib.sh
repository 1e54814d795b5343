# The one driver of the end-to-end flows; sourced, never run. A flow script calls
# run_under_xvfb, use_temporary_home, then drives the real binary with the functions below and
# checks the saved-tabs file, a saved file or a screenshot. Processes it starts go into `pids`,
# which the exit trap ends. A flow may define its own `fail` after sourcing this file.

# Re-runs the calling script inside a fresh Xvfb, or exits 77 (skipped) when a tool is missing.
# usage: run_under_xvfb "tool ..." "$0" "$@"
run_under_xvfb() {
    [[ -n "${QUILLET_E2E_INNER:-}" ]] && return 0
    local tool
    for tool in $1; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
    shift
    QUILLET_E2E_INNER=1 exec timeout 50 \
        bash "$(dirname "${BASH_SOURCE[0]}")/../scripts/with-xvfb.sh" 1280x800x24 bash "$@"
}

# The start of a flow: `quillet` and `shots` (the screenshot folder, made if named) from its
# arguments, a fresh Xvfb or exit 77 without one of the tools, and a throwaway home.
# usage: begin_flow "tool ..." "$0" "$@"
begin_flow() {
    local tools=$1 script=$2
    shift 2
    quillet=$1
    shots=${2:-}
    run_under_xvfb "Xvfb $tools" "$script" "$@"
    [[ -z "$shots" ]] || mkdir -p "$shots"
    use_temporary_home
}

# A throwaway home with its own data, config and runtime folders, removed at exit with every
# process in `pids`. Sets `work`, `state` (the saved-tabs file) and `config` (the preferences).
use_temporary_home() {
    work=$(mktemp -d)
    pids=()
    trap end_started_processes EXIT
    export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
    export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
    mkdir -p "$HOME" "$XDG_CONFIG_HOME/Quillet" "$XDG_RUNTIME_DIR" \
        "$XDG_DATA_HOME/Quillet/autosave"
    chmod 700 "$XDG_RUNTIME_DIR"
    state=$XDG_DATA_HOME/Quillet/autosave/tabs.json
    config=$XDG_CONFIG_HOME/Quillet/Quillet.conf
}

# The exit trap: each started process is asked to end, and killed if it has not within 3 s.
end_started_processes() {
    local started
    for started in "${pids[@]}"; do
        kill "$started" 2>/dev/null || true
    done
    for _ in $(seq 1 30); do
        any_started_alive || break
        sleep 0.1
    done
    for started in "${pids[@]}"; do
        kill -9 "$started" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}

any_started_alive() {
    local started
    for started in "${pids[@]}"; do
        kill -0 "$started" 2>/dev/null && return 0
    done
    return 1
}

fail() {
    echo "FAIL: $*"
    echo "state file: $(cat "$state" 2>/dev/null || echo '(missing)')"
    cat "$work/quillet.log" 2>/dev/null || true
    exit 1
}

# Runs the command until it succeeds, for up to `E2E_WAIT` seconds (10), else fails with the
# description. usage: wait_until "what did not happen" command args...
wait_until() {
    local what=$1
    shift
    local tries=$((${E2E_WAIT:-10} * 10))
    for _ in $(seq 1 "$tries"); do
        "$@" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "$what"
}

window_shown() {
    window=$(xdotool search --onlyvisible --name 'Quillet$' 2>/dev/null | head -n1 || true)
    [[ -n "$window" ]]
}

# Waits for the main window (its title ends with "Quillet") to appear and focuses it; sets
# `window`. Without a window manager nothing gives the focus back to the main window when a
# dialog closes; a flow calls this again then.
wait_for_window() {
    window=
    wait_until "no Quillet window appeared" window_shown
    xdotool windowfocus --sync "$window"
    sleep 0.5
}

# The saved-tabs file of one tab per argument, each argument the tab's text as a JSON string
# literal (with its quotes), so that escapes such as \r\n and \ud83d\ude00 say exactly what it
# holds.
write_state() {
    local entries=() n=0 text
    for text in "$@"; do
        n=$((n + 1))
        entries+=("$(printf '{"id":"6F9619FF-8B86-D011-B42D-00C04FC9%04X","title":"Untitled","content":%s,"createdAt":"2024-01-01T00:00:00Z"}' "$n" "$text")")
    done
    (IFS=,; printf '[%s]' "${entries[*]}") >"$state"
}

# Starts the binary (`quillet`, or the first argument) with its output in quillet.log and waits
# for its window; sets `pid`.
start_quillet() {
    "${1:-$quillet}" >>"$work/quillet.log" 2>&1 &
    pid=$!
    pids+=("$pid")
    wait_for_window
}

# Waits for the application to end after a quit command, then forgets it.
await_exit() {
    local gone
    gone() { ! kill -0 "$pid" 2>/dev/null; }
    wait_until "$1" gone
    wait "$pid" || true
    # Its number may be given to another process now; the exit trap must not end that one.
    local kept=() started
    for started in "${pids[@]}"; do
        [[ "$started" == "$pid" ]] || kept+=("$started")
    done
    pids=("${kept[@]}")
    pid=
}

# Ctrl+Q in the main window; the state file then holds the last text.
quit_quillet() {
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    press ctrl+q
    await_exit "Ctrl+Q did not end the application"
}

# Key chords as xdotool names them, sent to the focused window one after the other.
press() {
    local chord
    for chord in "$@"; do
        xdotool key --clearmodifiers "$chord"
        sleep 0.05
    done
}

type_text() {
    xdotool type --delay 20 "$1"
}

# The text of every tab in the state file, one JSON string literal a line (jq's escapes, so a
# lone surrogate shows).
state_texts() {
    jq -c '.[].content' "$state"
}

# Whether the state file holds exactly these tab texts (JSON string literals), in this order.
state_is() {
    [[ "$(state_texts | paste -sd '\n')" == "$(printf '%s\n' "$@" | jq -c . | paste -sd '\n')" ]]
}

# The whole screen as PNG (the X dump without netpbm) under SCREENSHOT_DIR, if one is set.
shot() {
    [[ -n "${shots:-}" ]] || return 0
    mkdir -p "$shots"
    local base=$shots/$1
    rm -f "$base.xwd" "$base.png"
    if command -v xwdtopnm >/dev/null && command -v pnmtopng >/dev/null; then
        xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$base.png" 2>/dev/null ||
            fail "the screenshot $base.png could not be written"
    else
        xwd -root -silent >"$base.xwd"
    fi
}

# Prints the position and size of window `$1` on the screen: "X Y WIDTH HEIGHT".
window_geometry() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $WIDTH $HEIGHT"
}

# Writes the whole screen as a PPM picture to `$1`, and as PNG beside it when `$2` names one.
grab_screen() {
    xwd -root -silent | xwdtopnm 2>/dev/null >"$1" || fail "no screenshot could be taken"
    [[ -z "${2:-}" ]] || pnmtopng <"$1" >"$2" 2>/dev/null || true
}

# Runs e2e/screen.py's finder `$1` on a fresh grab of the main window, as it now lies on the
# screen (a PNG of the grab goes to `$2` when given); prints what it found, fails when nothing.
find_on_screen() {
    local x y width height
    read -r x y width height <<<"$(window_geometry "$window")"
    grab_screen "$work/shot.ppm" "${2:-}"
    python3 "$(dirname "${BASH_SOURCE[0]}")/screen.py" "$1" "$work/shot.ppm" \
        "$x" "$y" "$width" "$height" 2>/dev/null
}

# Whether the tab bar shows a selected tab, found by its close button.
tab_shown() { find_on_screen close-button >/dev/null; }
