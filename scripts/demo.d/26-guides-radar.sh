#!/usr/bin/env bash
# Guide lines, the radar display and objects in the host app: initialise on
# a copy of the sample asset kit, unpack and select the sample car, then
# draw guide lines for a few steering angles forward and in reverse and the
# radar (levels and distances) in the top view, and objects set through
# SetObj in the 3D view. Output in demo-output/guides/: the pictures,
# captions.txt, run.txt (what the app did) and log.txt (the renderer's log).
set -euo pipefail
out="$AVM_DEMO_OUT/guides"
rm -rf "$out"
mkdir -p "$out"
if [ ! -f "$AVM_BUILD/sample-assets/common/demo.car" ]; then
  echo "no sample asset kit in $AVM_BUILD/sample-assets: nothing to show"
  exit 0
fi
assets="$out/assets"
cp -r "$AVM_BUILD/sample-assets" "$assets"

"$AVM_BUILD/bin/avm_guides_demo" "$assets" "$out" > "$out/run.txt" 2> "$out/log.txt"
grep -E "AvmTrack|SetObj|wrote" "$out/run.txt" || true
# The copied asset tree is only the demo's working copy.
rm -rf "$assets" "$assets.tmp"
echo "frame by frame: $out/run.txt; renderer log: $out/log.txt"
cut -f1 "$out/captions.txt"
