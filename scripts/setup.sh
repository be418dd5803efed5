#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing.
# Needs root (or sudo) only when something is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

missing=()
while read -r package; do
  case "$package" in ''|'#'*) continue ;; esac
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done < "$root/scripts/packages.txt"

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
