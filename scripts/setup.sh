#!/usr/bin/env bash
# setup.sh [package...]: installs the Debian packages named, or by default
# those of scripts/packages.txt, that are missing. Needs root (or sudo) only
# when something is missing. Downloads are retried; a failure stops the
# caller with apt's own message.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

wanted=("$@")
if [ ${#wanted[@]} -eq 0 ]; then
  while read -r package; do
    case "$package" in ''|'#'*) continue ;; esac
    wanted+=("$package")
  done < "$root/scripts/packages.txt"
fi

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  retries=(-o Acquire::Retries=5)
  "${sudo_cmd[@]}" apt-get "${retries[@]}" update -q
  "${sudo_cmd[@]}" apt-get "${retries[@]}" install -y -q --no-install-recommends "${missing[@]}"
else
  echo "setup: all ${#wanted[@]} packages present"
fi
