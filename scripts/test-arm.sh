#!/usr/bin/env bash
# Builds the deliverables for the processors they ship on and runs their tests
# under user-mode emulation: avm and castorlaunch for 32-bit ARM (armhf),
# quadcam for 64-bit ARM (arm64). Installs the cross toolchains and the
# emulator when missing, and makes a Debian sysroot per architecture once,
# under a cache folder outside the source tree, reused by later runs.
#
#   scripts/test-arm.sh [--all]
#     --all   also run the slow tests that CI leaves out (see ci_skip)
#
# Environment: AVM_ARM_CACHE (default ${XDG_CACHE_HOME:-$HOME/.cache}/avm-arm)
# holds the sysroots; AVM_ARM_BUILD (default <repo>/build-arm) the build trees.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

run_all=0
for arg in "$@"; do
  case "$arg" in
    --all) run_all=1 ;;
    *) echo "test-arm: unknown option $arg" >&2; exit 2 ;;
  esac
done

cache=${AVM_ARM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/avm-arm}
builds=${AVM_ARM_BUILD:-$root/build-arm}
jobs=2

# --- host tools ------------------------------------------------------------
"$root/scripts/setup.sh" crossbuild-essential-armhf crossbuild-essential-arm64 qemu-user \
  mmdebstrap file

# --- sysroots --------------------------------------------------------------
# Made (or checked and kept) by arm-sysroot.sh, each call a step of its own
# that stops this script with its cause when it fails.
make_sysroot() {
  "$root/scripts/arm-sysroot.sh" "$1" "$2" "$cache/sysroot-$1"
}

# --- build, check, test ----------------------------------------------------
# check_elf <file> <class 1|2> <machine number> <what>: the file is an ELF
# object of that class (1: 32-bit, 2: 64-bit) and machine (40: ARM,
# 183: AArch64), read from its header rather than trusted from the toolchain.
check_elf() {
  local file=$1 class=$2 machine=$3 what=$4
  local magic got_class got_machine
  magic=$(od -An -tx1 -N4 "$file" | tr -d ' \n')
  got_class=$(od -An -tu1 -j4 -N1 "$file" | tr -d ' ')
  got_machine=$(od -An -tu2 --endian=little -j18 -N2 "$file" | tr -d ' ')
  if [ "$magic" != 7f454c46 ] || [ "$got_class" != "$class" ] || [ "$got_machine" != "$machine" ]; then
    echo "test-arm: $file is not $what (magic $magic, class $got_class, machine $got_machine)" >&2
    exit 1
  fi
  echo "test-arm: $(basename "$file"): $what"
}

# Tests that CI leaves out under emulation (a regular expression of test
# names); --all runs them too. They draw hundreds of full frames, each of
# several seconds under the emulator, and overrun their 600 s limit on a
# shared 2-core machine: the car race (400 frames decoding full-size car
# pictures), the sample car through the Java class, and the car views (one
# case steps the wheels through every speed class, 7 minutes there), the
# tyre panels and plate in whole frames of the sample car through the Java
# class (over 6 minutes of emulated work), and the driver's-eye sequences
# (over 4000 whole frames through the Java class, each read back).
ci_skip='^(avm_car_race_test|avm_sample_jvm_test|avm_car_view_test|avm_plate_tyre_frame_jvm_test|avm_driver_sequence_jvm_test)$'

# Tests that cannot run under a user-mode emulator at all:
#   process_table  the launcher's tests place processes under chosen
#                  executable names and count them through /proc/<pid>/exe,
#                  which names the emulator for every emulated process.
never_label=process_table

# build_and_test <arch> <sysroot> <test regex> <deliverable targets...>
build_and_test() {
  local arch=$1 sysroot=$2 regex=$3
  shift 3
  local tree=$builds/$arch
  mkdir -p "$tree"
  cmake -S "$root" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" \
    -DAVM_CROSS_SYSROOT="$sysroot" > "$tree/configure.log" 2>&1 || { cat "$tree/configure.log"; exit 1; }
  local tests
  tests=$(cd "$tree" && ctest -N -R "$regex" | awk '/Test +#/ {print $3}')
  if [ "$run_all" -eq 0 ]; then
    # What CI leaves out is not built either.
    tests=$(printf '%s\n' $tests | grep -Ev "$ci_skip" || true)
  fi
  # shellcheck disable=SC2086  # one target name per word
  cmake --build "$tree" -j"$jobs" --target "$@" $tests
  local skip=()
  if [ "$run_all" -eq 0 ]; then
    skip=(-E "$ci_skip")
  fi
  (cd "$tree" && ctest --output-on-failure -j"$jobs" -R "$regex" -LE "^($never_label)\$" "${skip[@]}")
}

# launcher_smoke <tree> <sysroot>: the launcher's own tests cannot run under
# the emulator (see never_label), so run it once the way the device does: no
# other instance, the companion library found by its bare name.
launcher_smoke() {
  local tree=$1 sysroot=$2 output status=0
  rm -f "$tree/castorhost.txt"
  local libs="$sysroot/lib/arm-linux-gnueabihf:$sysroot/usr/lib/arm-linux-gnueabihf:$sysroot/usr/lib/arm-linux-gnueabihf/android"
  output=$(cd "$tree" && CASTORHOST_RECORD="$tree/castorhost.txt" LD_LIBRARY_PATH="$tree/lib" \
    "$root/cmake/qemu-run.sh" qemu-arm "$sysroot" "$libs" bin/castorlaunch) || status=$?
  if [ "$status" -ne 1 ] || [ "$output" != "$(printf 'process_channel = 1\ncastorhost: process_start(1)')" ] ||
     [ "$(cat "$tree/castorhost.txt" 2>/dev/null)" != "process_start 1" ]; then
    echo "test-arm: castorlaunch under the emulator exited with $status and printed:" >&2
    echo "$output" >&2
    exit 1
  fi
  echo "test-arm: castorlaunch started its companion under the emulator"
}

started=$(date +%s)
make_sysroot armhf arm-linux-gnueabihf
make_sysroot arm64 aarch64-linux-gnu
armhf_root=$cache/sysroot-armhf
arm64_root=$cache/sysroot-arm64
echo "test-arm: sysroots ready after $(( $(date +%s) - started )) s"

build_and_test armhf "$armhf_root" '^(log_capture_test|castorlaunch_test|avm_.*)$' avm castorlaunch
check_elf "$builds/armhf/lib/libavm.so" 1 40 "32-bit ARM"
check_elf "$builds/armhf/bin/castorlaunch" 1 40 "32-bit ARM"
launcher_smoke "$builds/armhf" "$armhf_root"
echo "test-arm: armhf done after $(( $(date +%s) - started )) s"

build_and_test arm64 "$arm64_root" '^quadcam_.*$' quadcam
check_elf "$builds/arm64/lib/libquadcam.so" 2 183 "64-bit ARM"
echo "test-arm: arm64 done after $(( $(date +%s) - started )) s"
