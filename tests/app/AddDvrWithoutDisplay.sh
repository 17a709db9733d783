#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# --add-dvr as a person runs it from a terminal: an installed program (its folder
# not the user's to write), a fresh home, no display, no session bus.
#   AddDvrWithoutDisplay.sh QUILLON
set -euo pipefail
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin" "$root/home/config/quillon"
cp "$1" "$root/bin/quillon"
chmod 555 "$root/bin"
chmod 755 "$root"
run=("$root/bin/quillon")
if [ "$(id -u)" = 0 ]; then
    chown -R nobody:nogroup "$root/home"
    run=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- "${run[@]}")
fi
export HOME=$root/home XDG_DATA_HOME=$root/home/data XDG_CONFIG_HOME=$root/home/config
export DBUS_SESSION_BUS_ADDRESS=unix:path=$root/no-bus
file=$XDG_DATA_HOME/quillon/IPList.db

fail() { echo "FAIL: $*" >&2; exit 1; }
# quillon STDIN ARGS...: sets $status and $said (what it wrote on stdout and stderr).
quillon() {
    local input=$1
    shift
    status=0
    said=$(printf '%s' "$input" | "${run[@]}" "$@" 2>&1) || status=$?
}
holds() { cmp -s <(printf "$1" | iconv -f UTF-8 -t UTF-16LE) "$file"; }

quillon '' --add-dvr 'Gate,127.0.0.1,8080,0,ADMIN,1234'
[ "$status" = 0 ] && [ -z "$said" ] || fail "add: status $status, said: $said"
holds 'Gate,127.0.0.1,8080,0,ADMIN,1234\n' || fail "add: the file holds something else"

quillon '' --add-dvr 'Gate,127.0.0.1,9090,0,ADMIN,5678'
[ "$status" = 0 ] && [ "$(wc -l <<<"$said")" = 1 ] || fail "taken: status $status, said: $said"
[[ "$said" == *'"Gate"'* && "$said" != *5678* ]] || fail "taken: said: $said"

quillon '' --add-dvr 'Yard,127.0.0.1,70000,0,ADMIN,s3cret'
[ "$status" = 1 ] && [[ "$said" == *'the port "70000"'* && "$said" != *s3cret* ]] ||
    fail "refused: status $status, said: $said"

quillon $'s3cret\n' --add-dvr 'Shop,127.0.0.1,9,0,admin'
[ "$status" = 0 ] && [ -z "$said" ] || fail "piped: status $status, said: $said"
holds 'Gate,127.0.0.1,8080,0,ADMIN,1234\nShop,127.0.0.1,9,0,admin,s3cret\n' ||
    fail "piped: the file holds something else"

# The keyring on, and none to reach: refused, nothing written.
printf '[General]\nKeepPasswordsInKeyring=true\n' >"$XDG_CONFIG_HOME/quillon/quillon.conf"
quillon '' --add-dvr 'Barn,127.0.0.1,10,0,admin,s3cret'
[ "$status" = 1 ] && [[ "$said" == *keyring* && "$said" != *s3cret* ]] ||
    fail "no keyring: status $status, said: $said"
holds 'Gate,127.0.0.1,8080,0,ADMIN,1234\nShop,127.0.0.1,9,0,admin,s3cret\n' ||
    fail "no keyring: the file changed"

# A directory file that is there but cannot be read is never written over.
rm "$XDG_CONFIG_HOME/quillon/quillon.conf"
chmod 000 "$file"
quillon '' --add-dvr 'Barn,127.0.0.1,10,0,admin,s3cret'
chmod 600 "$file"
[ "$status" = 1 ] && [[ "$said" == *'cannot be read'* && "$said" != *s3cret* ]] ||
    fail "unreadable: status $status, said: $said"
holds 'Gate,127.0.0.1,8080,0,ADMIN,1234\nShop,127.0.0.1,9,0,admin,s3cret\n' ||
    fail "unreadable: the file changed"
