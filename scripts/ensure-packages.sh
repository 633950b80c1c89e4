#!/usr/bin/env bash
# Installs the given Debian packages that are not installed yet (apt-get update once per
# process tree). Usage: scripts/ensure-packages.sh pkg...
set -euo pipefail
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -z "${VANTIRO_APT_UPDATED:-}" ]; then
  $SUDO apt-get update -qq
fi
echo "installing: ${missing[*]}"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
