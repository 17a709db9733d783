#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the DVR simulator and the viewer connected to it; closing the viewer
# stops the simulator. Without a display the same demo runs in a virtual one
# and leaves a screenshot of the live window in demo.png.
set -euo pipefail
build=${1:-build}
sim="$build/tools/dvrsim/quillon-dvrsim"
viewer="$build/src/app/quillon"
port=${QUILLON_DEMO_PORT:-8080}
log="$build/dvrsim-demo.log"

# Four cameras: CH-02 at 704 x 480, CH-03 without video.
"$sim" --port "$port" --channels 4 --size 2=704x480 --video-loss 3 --fps 10 >"$log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT

for _ in $(seq 100); do
    grep -q "serving" "$log" && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$log" >&2; echo "demo: the DVR simulator did not start (try QUILLON_DEMO_PORT=another port)" >&2; exit 1; }
    sleep 0.1
done
echo "demo: $(head -n 1 "$log")"

# The directory entry goes in through the viewer itself, and only when missing.
args=(--add-dvr "Demo DVR,127.0.0.1,$port,0,ADMIN,1234" --connect "Demo DVR" --layout 2x2)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "demo: starting Quillon on the 2 x 2 wall of \"Demo DVR\"; close its window to end the demo"
    "$viewer" "${args[@]}"
else
    echo "demo: no display here; running Quillon in a virtual display (xvfb-run)"
    xvfb-run -a -s "-screen 0 1024x768x24" "$viewer" "${args[@]}" --size 640x480 --screenshot demo.png
    echo "demo: the live window is in demo.png"
fi
