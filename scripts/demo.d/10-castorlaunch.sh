#!/usr/bin/env bash
# castorlaunch against the sample companion library: a first start with a
# channel, then a second launcher while one "castor" runs.
set -euo pipefail
out="$AVM_DEMO_OUT/castorlaunch"
mkdir -p "$out/bin" "$out/installed"

# The host has no setprop: a stand-in records the property it was asked to set.
cat > "$out/bin/setprop" <<'SH'
#!/bin/sh
echo "setprop $1=$2" >> "$SETPROP_LOG"
SH
chmod 755 "$out/bin/setprop"
export PATH="$out/bin:$PATH"
export SETPROP_LOG="$out/properties.txt"
export LD_LIBRARY_PATH="$AVM_BUILD/lib"

# Installed under the name it guards, as on a device.
cp "$AVM_BUILD/bin/castorlaunch" "$out/installed/castor"

echo "\$ castor -c 7     (no other instance)"
set +e
"$out/installed/castor" -c 7
echo "exit status $?"

echo "\$ castor -c 8     (while a first castor runs its companion for 2 s)"
CASTORHOST_SLEEP_MS=2000 "$out/installed/castor" > "$out/first.txt" 2>&1 &
first=$!
sleep 0.5
"$out/installed/castor" -c 8
echo "exit status $?"
wait "$first"
set -e

echo "properties set: $(cat "$SETPROP_LOG")"
