#!/usr/bin/env bash
# arm_sysroot_test.sh <arm-sysroot.sh>: the sysroot step is made completely
# or not at all. A stand-in mmdebstrap earlier on PATH records how it was
# called and makes a complete, a partial or no sysroot; the machine's apt
# sources are replaced through APT_CONFIG by lists in both of apt's formats.
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# --- the machine's apt sources --------------------------------------------
mkdir -p "$work/etc/sources.list.d" "$work/bin"
cat > "$work/etc/sources.list" <<'LIST'
# a comment
deb [arch=amd64 signed-by=/k.gpg] http://one-line.example/debian bookworm-updates main
LIST
cat > "$work/etc/sources.list.d/debian.sources" <<'SOURCES'
Types: deb
URIs: http://mirror.example/debian
Suites: bookworm bookworm-updates
Components: main

Types: deb
URIs: http://security.example/debian-security
Suites: bookworm-security
Components: main

Types: deb-src
URIs: http://source.example/debian
Suites: bookworm
Components: main
SOURCES
cat > "$work/apt.conf" <<CONF
Dir::Etc::sourcelist "$work/etc/sources.list";
Dir::Etc::sourceparts "$work/etc/sources.list.d";
CONF
export APT_CONFIG=$work/apt.conf

# --- a stand-in mmdebstrap --------------------------------------------------
# FAKE_MODE: complete (every required file), partial (all but the C
# library's headers) or fail (a few files, then exit 1).
"$script" --required armhf arm-linux-gnueabihf unused > "$work/required.txt"
cat > "$work/bin/mmdebstrap" <<FAKE
#!/usr/bin/env bash
printf '%s\n' "\$@" > "$work/mmdebstrap-args.txt"
echo call >> "$work/mmdebstrap-calls.txt"
# The target folder is the argument after the suite.
args=("\$@")
for i in "\${!args[@]}"; do
  if [ "\${args[\$i]}" = bookworm ]; then target=\${args[\$((i + 1))]}; break; fi
done
mkdir -p "\$target/usr/include"
if [ "\$FAKE_MODE" = fail ]; then
  touch "\$target/usr/include/stdio.h"
  echo "E: File has unexpected size (359552 != 360800). Mirror sync in progress?" >&2
  exit 1
fi
while IFS= read -r file; do
  if [ "\$FAKE_MODE" = partial ] && [ "\$file" = usr/include/stdio.h ]; then continue; fi
  mkdir -p "\$target/\$(dirname "\$file")"
  touch "\$target/\$file"
done < "$work/required.txt"
FAKE
chmod +x "$work/bin/mmdebstrap"
export PATH="$work/bin:$PATH"

dir=$work/cache/sysroot-armhf
calls() { wc -l < "$work/mmdebstrap-calls.txt" 2>/dev/null || echo 0; }
run() { FAKE_MODE=$1 "$script" armhf arm-linux-gnueabihf "$dir" > "$work/out.txt" 2>&1; }

# 1. The sysroot command fails: the step fails with its message, leaves
#    nothing behind, and the next run tries again.
if run fail; then fail "a failing mmdebstrap was reported as success"; fi
grep -q 'Mirror sync in progress' "$work/out.txt" || fail "the cause was not printed: $(cat "$work/out.txt")"
[ ! -e "$dir" ] && [ ! -e "$dir.new" ] || fail "a half-made sysroot was left in the cache"

# 2. Made from the release and updates suites of the machine's sources only,
#    with retries; stamped.
run complete || fail "a complete sysroot was refused: $(cat "$work/out.txt")"
[ -f "$dir/.avm-packages" ] || fail "no stamp on a complete sysroot"
[ ! -e "$dir.new" ] || fail "the working folder stayed"
grep -qx 'deb http://mirror.example/debian bookworm main' "$work/mmdebstrap-args.txt" ||
  fail "release suite not taken from the machine's sources: $(cat "$work/mmdebstrap-args.txt")"
grep -qx 'deb http://one-line.example/debian bookworm-updates main' "$work/mmdebstrap-args.txt" ||
  fail "updates suite not taken from the first source that names it"
if grep -q 'security' "$work/mmdebstrap-args.txt"; then fail "the security suite was asked for"; fi
grep -q 'Acquire::Retries' "$work/mmdebstrap-args.txt" || fail "downloads are not retried"

# 3. A complete, stamped sysroot is kept as it is.
before=$(calls)
run complete || fail "the complete sysroot was not kept"
[ "$(calls)" -eq "$before" ] || fail "a complete sysroot was made again"

# 4. Stamped but damaged: made again.
rm "$dir/usr/include/gtest/gtest.h"
run complete || fail "a damaged sysroot was not remade"
[ "$(calls)" -eq $((before + 1)) ] || fail "a damaged sysroot was reused"
[ -f "$dir/usr/include/gtest/gtest.h" ] || fail "the remade sysroot lacks a file"

# 5. A folder without a stamp is made again; packages that do not give a
#    usable sysroot leave nothing, even where a stamped one stood.
rm "$dir/.avm-packages"
if run partial; then fail "a sysroot without the C library's headers was accepted"; fi
grep -q 'lacks usr/include/stdio.h' "$work/out.txt" || fail "the missing file was not named"
[ ! -e "$dir" ] && [ ! -e "$dir.new" ] || fail "an unusable sysroot was kept"

# 6. No source names the release suite: a clear message, mmdebstrap not run.
rm -f "$work/etc/sources.list.d/debian.sources"
before=$(calls)
if run complete; then fail "made a sysroot without a release mirror"; fi
grep -q 'name no mirror for bookworm' "$work/out.txt" || fail "no message for a missing mirror"
[ "$(calls)" -eq "$before" ] || fail "mmdebstrap ran without a release mirror"

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "arm_sysroot_test: all cases passed"
