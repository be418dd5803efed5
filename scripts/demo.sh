#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs every demo step of
# scripts/demo.d in order. Everything the demo writes goes to demo-output/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
mkdir -p build
scripts/build.sh build

export AVM_ROOT="$root"
export AVM_BUILD="$root/build"
export AVM_DEMO_OUT="$root/demo-output"
rm -rf "$AVM_DEMO_OUT"
mkdir -p "$AVM_DEMO_OUT"

for step in scripts/demo.d/*.sh; do
  echo
  echo "=== demo: $(basename "$step" .sh)"
  bash "$step"
done
echo
echo "demo: done; pictures and logs are in $AVM_DEMO_OUT"
