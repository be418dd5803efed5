#!/usr/bin/env bash
# quadcam in the host app: four simulated cameras stream for a few seconds
# through the Java activity; the last preview and record frames are written as
# PNG. Then four synthetic recordings are replayed and every composed frame is
# written raw, with the last one as PNG.
set -euo pipefail
out="$AVM_DEMO_OUT/quadcam"
mkdir -p "$out"
demo="$AVM_BUILD/bin/quadcam_demo"

echo "\$ quadcam_demo live --size 1280x720 --seconds 3 --out $out"
"$demo" live --size 1280x720 --seconds 3 --out "$out" 2> "$out/live-log.txt"

for k in 0 1 2 3; do
  "$demo" make-input --size 640x360 --frames 12 --camera "$k" "$out/cam$k.nv21"
done
echo "\$ quadcam_demo replay --size 640x360 --out $out/replay.nv21 --png $out/replay-last.png cam0..3.nv21"
"$demo" replay --size 640x360 --out "$out/replay.nv21" --png "$out/replay-last.png" \
  "$out/cam0.nv21" "$out/cam1.nv21" "$out/cam2.nv21" "$out/cam3.nv21" 2> "$out/replay-log.txt"
echo "quadcam: pictures in $out (preview.png, record.png, replay-last.png), logs beside them"

printf '%s\t%s\n' \
  preview.png "quadcam: the last preview frame, four simulated cameras composed two by two." \
  record.png "quadcam: the last record frame (always NV21), shown converted to RGB." \
  replay-last.png "quadcam: the last frame composed from four replayed recordings." > "$out/captions.txt"
