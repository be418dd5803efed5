#!/usr/bin/env bash
# The renderer in the host app: initialise on the sample asset directory,
# draw frames of the logo screen (mode 20) and write some as PNG pictures to
# demo-output/renderer/.
set -euo pipefail
out="$AVM_DEMO_OUT/renderer"
mkdir -p "$out"

# The sample asset kit's tree when the build made one; otherwise a folder of
# our own, in which the demo draws the one picture it needs (the logo).
assets="$AVM_BUILD/sample-assets"
if [ ! -f "$assets/common/logo.png" ]; then
  assets="$out/assets"
fi

"$AVM_BUILD/bin/avm_renderer_demo" "$assets" "$out" 50 2> "$out/log.txt"
echo "renderer log: $out/log.txt"
ls "$out"/frame_*.png
