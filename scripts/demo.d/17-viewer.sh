#!/usr/bin/env bash
# The car viewer under a virtual X display: the sample car directory packed
# with avm-car-pack, as a car maker would, then previewed by a script that
# turns the view, blinks the indicators, turns the wheels, opens doors and
# switches to the top view. Output in demo-output/viewer/: the pictures,
# tour.txt (the script), captions.txt, run.txt (what the viewer said) and
# log.txt (the renderer's log).
set -euo pipefail
out="$AVM_DEMO_OUT/viewer"
rm -rf "$out"
mkdir -p "$out"
bin="$AVM_BUILD/bin"
car="$AVM_BUILD/sample-car/demo"
if [ ! -d "$car" ]; then
  echo "no sample car in $car: nothing to show"
  exit 0
fi

echo "\$ avm-car-pack sample-car/demo demo.car"
"$bin/avm-car-pack" "$car" "$out/demo.car"

cat > "$out/tour.txt" <<'SCRIPT'
# The front: both indicators and the headlight beams on; two frames twelve
# apart, one in each blink phase.
lamps 3
beams
state 54
settle
shot front-a.png
frames 11
shot front-b.png
# The left side driving: wheels turn a frame per frame, steered 20 degrees.
faster
faster
faster
steer-left
steer-left
steer-left
steer-left
state 130
settle
shot left-driving.png
# Standing with doors 0 and 2 open.
slower
slower
slower
door 0
door 2
shot left-doors.png
# From behind, with the other car ahead, on another roadway.
door 0
door 2
other-car
next-roadway
state 144
settle
shot behind.png
# The top view with doors 0 and 1 open.
door 0
door 1
top
shot top.png
SCRIPT

echo "\$ avm-viewer --script tour.txt demo.car (under Xvfb)"
(cd "$out" && xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$bin/avm-viewer" --script tour.txt --log log.txt demo.car > run.txt)
cat "$out/run.txt"
rm -f "$out/demo.car"

printf '%s\t%s\n' \
  front-a.png "avm-viewer: the packed sample car from the front (state angle 54) with both indicators and the beams on, one blink phase..." \
  front-b.png "...and the other, twelve frames later." \
  left-driving.png "avm-viewer: the left side (angle 130) at speed 15000 steered 20 degrees left: the wheel pictures turn a frame per frame, the front one from the steered set." \
  left-doors.png "avm-viewer: standing at angle 130 with doors 0 and 2 open." \
  behind.png "avm-viewer: from behind (angle 144) with the other car ahead and the second roadway picture." \
  top.png "avm-viewer: the 2D top view with doors 0 and 1 open." > "$out/captions.txt"
