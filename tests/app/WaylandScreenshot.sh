#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real viewer under a headless Wayland compositor, connected to the simulator:
# its --screenshot must show live frames.
#   WaylandScreenshot.sh QUILLON DVRSIM
set -euo pipefail
viewer=$1
sim=$2

work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Waits up to ten seconds for a condition, giving up early if the process died.
wait_for() {
    local pid=$1; shift
    for _ in $(seq 200); do
        "$@" && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# Everything the run writes stays in the private folder: the compositor's socket,
# the viewer's settings, and its directory file, which lives beside the program.
export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"
cp "$viewer" "$work/quillon"

# A phone's shell: every window fills the output; no helper clients of weston's own.
printf '[core]\nshell=kiosk-shell.so\n[input-method]\npath=\n' >"$work/weston.ini"
weston --backend=headless-backend.so --socket=quillon-test --idle-time=0 \
    --config="$work/weston.ini" --width=360 --height=640 >"$work/weston.log" 2>&1 &
pids+=($!)
wait_for "${pids[0]}" test -S "$XDG_RUNTIME_DIR/quillon-test" ||
    { cat "$work/weston.log" >&2; echo "weston did not start" >&2; exit 1; }

"$sim" --port 0 --channels 2 --fps 10 >"$work/sim.log" 2>&1 &
pids+=($!)
wait_for "${pids[1]}" grep -q serving "$work/sim.log" ||
    { cat "$work/sim.log" >&2; echo "the simulator did not start" >&2; exit 1; }
port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/sim.log" | head -n 1)

status=0
# The viewer paints into shared memory; without EGL, whose Mesa driver (where one is
# installed) leaves memory behind at exit that the sanitizer run would report.
WAYLAND_DISPLAY=quillon-test QT_QPA_PLATFORM=wayland QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none \
    "$work/quillon" --add-dvr "Wayland,127.0.0.1,$port,0,ADMIN,1234" --connect Wayland \
    --screenshot "$work/shot.png" || status=$?
if [ "$status" -ne 0 ]; then
    echo "the viewer ended with $status (no live picture on Wayland?)" >&2
    cat "$work/weston.log" >&2
    exit 1
fi

# The simulator's scene is bright; the dark background alone is not a picture.
lit=$(convert "$work/shot.png" -colorspace Gray -threshold 10% -format '%[fx:mean]' info:)
echo "screenshot $(identify -format '%wx%h' "$work/shot.png"), lit share $lit"
awk -v lit="$lit" 'BEGIN { exit !(lit > 0.25) }' || { echo "the screenshot shows no live picture" >&2; exit 1; }
