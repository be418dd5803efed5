#!/usr/bin/env bash
# build.sh <build dir> [cmake options...]: configures and builds one tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tree=$1
shift
mkdir -p "$tree"
cmake -S "$root" -B "$tree" "$@" > "$tree/configure.log" 2>&1 || { cat "$tree/configure.log"; exit 1; }
cmake --build "$tree" -j"$(nproc)"
