#!/usr/bin/env bash
# The sample car that the build generated: a contact sheet to look at, the
# listing and check of its package, and one picture converted each way.
set -euo pipefail
out="$AVM_DEMO_OUT/sample"
mkdir -p "$out"
bin="$AVM_BUILD/bin"
assets="$AVM_BUILD/sample-assets"
car="$AVM_BUILD/sample-car/demo"

"$bin/avm-sample-sheet" "$car" "$out/contact-sheet.png"

echo "\$ avm-car-list common/demo.car"
"$bin/avm-car-list" "$assets/common/demo.car" > "$out/demo.car.txt"
head -n 5 "$out/demo.car.txt"
echo "   ..."
tail -n 1 "$out/demo.car.txt"

echo "\$ avm-img-conv info common/plate/number0.bin"
"$bin/avm-img-conv" info "$assets/common/plate/number0.bin"
"$bin/avm-img-conv" to-png "$assets/common/plate/number0.bin" "$out/plate-number0.png"
cp "$assets/common/plate/plate.png" "$out/plate.png"

echo "contact sheet, package listing and plate glyphs are in $out"

printf '%s\t%s\n' \
  contact-sheet.png "The sample car the build generates: a contact sheet of its pictures (whole-car angles, wheels, lamps, doors, top views)." \
  plate-number0.png "A plate glyph sheet of the sample kit, converted back from its .bin form to PNG." \
  plate.png "The sample kit's number plate picture." > "$out/captions.txt"
