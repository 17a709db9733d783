#!/usr/bin/env bash
# Starts the DVR simulator and the viewer aimed at it.
set -euo pipefail
build=${1:-build}
if [ ! -x "$build/src/app/quillon" ]; then
    echo "demo: the viewer is not built yet; nothing to show." >&2
    exit 1
fi
