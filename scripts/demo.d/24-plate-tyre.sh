#!/usr/bin/env bash
# The number plate and the tyre panels in the host app: initialise on a copy
# of the sample asset kit, unpack and select the sample car, set a plate
# text and tyre readings (a leak, a hot tyre, a low sensor battery, a normal
# tyre), and draw the 3D view at a few angles. Output in
# demo-output/plate-tyre/: view_NNN.png (frames with panels) and
# view_NNN_icons.png (with warning icons), plate.png and pressure.png
# (the generated pictures), tyre_N_panel.png (panels read back from their
# textures), captions.txt, run.txt (what the app did) and log.txt (the
# renderer's log).
set -euo pipefail
out="$AVM_DEMO_OUT/plate-tyre"
rm -rf "$out"
mkdir -p "$out"
if [ ! -f "$AVM_BUILD/sample-assets/common/demo.car" ]; then
  echo "no sample asset kit in $AVM_BUILD/sample-assets: nothing to show"
  exit 0
fi
assets="$out/assets"
cp -r "$AVM_BUILD/sample-assets" "$assets"

"$AVM_BUILD/bin/avm_plate_tyre_demo" "$assets" "$out" > "$out/run.txt" 2> "$out/log.txt"
grep -E "GenPlate|SetTirePressure|view .* degrees|pressure.png" "$out/run.txt" || true
# The copied asset tree is only the demo's working copy.
rm -rf "$assets" "$assets.tmp"
echo "frame by frame: $out/run.txt; renderer log: $out/log.txt"
cut -f1 "$out/captions.txt"
