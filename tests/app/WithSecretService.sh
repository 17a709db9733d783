#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a program on a private session bus with an unlocked keyring of its own
# (gnome-keyring's Secret Service), as a desktop session gives it; both end with it.
#   WithSecretService.sh PROGRAM [ARGS...]
set -euo pipefail
if [ -z "${QUILLON_SECRET_SESSION:-}" ]; then
    home=$(mktemp -d)
    chmod 700 "$home"
    trap 'rm -rf "$home"' EXIT
    mkdir -m 700 "$home/runtime"
    status=0
    QUILLON_SECRET_SESSION=1 HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config \
        XDG_RUNTIME_DIR=$home/runtime dbus-run-session -- "$0" "$@" || status=$?
    exit "$status"
fi

mkdir -p -m 700 "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
printf 'quillon-test' | gnome-keyring-daemon --foreground --unlock --components=secrets \
    >"$XDG_RUNTIME_DIR/keyring.log" 2>&1 &
keyring=$!
trap 'kill "$keyring" 2>/dev/null || true; wait "$keyring" 2>/dev/null || true' EXIT

owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
        grep -q 'boolean true'
}
for _ in $(seq 200); do
    owned && break
    kill -0 "$keyring" 2>/dev/null || { cat "$XDG_RUNTIME_DIR/keyring.log" >&2; exit 1; }
    sleep 0.05
done
owned || { echo "the keyring did not come up" >&2; exit 1; }
"$@"
