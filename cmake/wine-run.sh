#!/bin/sh
# Runs a Windows program under wine in its own prefix: wine-run.sh PREFIX PROGRAM ARGS...
# The prefix is created on first use under a lock, so parallel test runs do not race
# to build it; wine's own debug chatter and its mono/gecko installers are switched off.
set -eu
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=$(command -v wine || command -v wine64)
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  (
    flock 9
    [ -f "$prefix/system.reg" ] || "$wine" wineboot --init >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
  ) 9>"$prefix.lock"
fi
exec "$wine" "$@"
