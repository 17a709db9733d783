#!/usr/bin/env bash
# Starts the DVR simulator and the viewer aimed at it.
set -euo pipefail
build=${1:-build}
sim="$build/tools/dvrsim/quillon-dvrsim"
viewer="$build/src/app/quillon"
port=${QUILLON_DEMO_PORT:-8080}

if [ ! -x "$viewer" ]; then
    echo "demo: the viewer is not built yet. Starting the DVR simulator alone;"
    echo "demo: watch its stream with:"
    echo "  curl -s -X Get --http1.0 -A Palmeye 'http://127.0.0.1:$port/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=1' | head -c 400 | od -A d -t x1 | head"
    exec "$sim" --port "$port" --channels 16 --size 2=704x480 --video-loss 4 --fps 10
fi

"$sim" --port "$port" --channels 16 --size 2=704x480 --video-loss 4 --fps 10 &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; wait $sim_pid 2>/dev/null' EXIT
"$viewer"
