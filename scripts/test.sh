#!/usr/bin/env bash
# The whole test suite: installs what is missing, then builds and tests three
# trees: AddressSanitizer + UBSan (every test that runs without the Java VM),
# ThreadSanitizer (the threaded tests), and the plain build with every test.
# A short run of every fuzz target follows (AVM_FUZZ_SECONDS per target,
# default 8; 0 leaves it out), then scripts/test-arm.sh builds the
# deliverables for ARM and runs their tests under emulation (AVM_ARM=0
# leaves it out). Any failure or sanitizer report fails the run. Each part
# prints how long it took, so that the run's budget can be watched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

part_start=$SECONDS
part_done() {
  echo "test.sh: $1 took $((SECONDS - part_start)) s (total $SECONDS s)"
  part_start=$SECONDS
}

scripts/setup.sh
mkdir -p build build-asan build-tsan

scripts/build.sh build-asan -DAVM_SANITIZE=address
(cd build-asan && ctest --output-on-failure -j"$(nproc)")
part_done "the AddressSanitizer tree"

scripts/build.sh build-tsan -DAVM_SANITIZE=thread
(cd build-tsan && ctest --output-on-failure -j"$(nproc)")
part_done "the ThreadSanitizer tree"

scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")
part_done "the plain tree"

fuzz_seconds=${AVM_FUZZ_SECONDS:-8}
if [ "$fuzz_seconds" -gt 0 ]; then
  scripts/fuzz.sh "$fuzz_seconds"
  part_done "the fuzz targets"
fi

if [ "${AVM_ARM:-1}" != 0 ]; then
  scripts/test-arm.sh
  part_done "the ARM builds under emulation"
fi
