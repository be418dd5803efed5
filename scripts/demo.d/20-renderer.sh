#!/usr/bin/env bash
# The renderer in the host app: initialise on a copy of the sample asset
# directory, unpack and select the sample car, draw the logo screen (mode 20)
# and then the 3D view (mode 5) until all 192 view angles of the car are
# loaded, logging the count every frame. Output in demo-output/renderer/:
# frame_NNN.png (logo frames), angles.png (every angle's texture read back),
# run.txt (what the app did, frame by frame) and log.txt (the renderer's log).
set -euo pipefail
out="$AVM_DEMO_OUT/renderer"
rm -rf "$out"
mkdir -p "$out"

# A copy of the sample asset kit's tree when the build made one (the car is
# unpacked into it); otherwise a folder of our own, in which the demo draws
# the one picture it needs (the logo) and shows no car.
assets="$out/assets"
if [ -f "$AVM_BUILD/sample-assets/common/demo.car" ]; then
  cp -r "$AVM_BUILD/sample-assets" "$assets"
fi

"$AVM_BUILD/bin/avm_renderer_demo" "$assets" "$out" 25 > "$out/run.txt" 2> "$out/log.txt"
grep -E "SetCar|after selection|all .* angles|textures hold|laid out" "$out/run.txt" || true
echo "frame by frame: $out/run.txt; renderer log: $out/log.txt"
ls "$out"/frame_*.png "$out"/angles.png 2>/dev/null || ls "$out"/frame_*.png
