#!/usr/bin/env bash
# The whole test suite: installs what is missing, then builds and tests three
# trees: AddressSanitizer + UBSan (every test that runs without the Java VM),
# ThreadSanitizer (the threaded tests), and the plain build with every test.
# Any failure or sanitizer report fails the run. The plain tree's CTest
# summary closes the output; a short run of every fuzz target follows it
# (AVM_FUZZ_SECONDS per target, default 12; 0 leaves it out).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
mkdir -p build build-asan build-tsan

scripts/build.sh build-asan -DAVM_SANITIZE=address
(cd build-asan && ctest --output-on-failure -j"$(nproc)")

scripts/build.sh build-tsan -DAVM_SANITIZE=thread
(cd build-tsan && ctest --output-on-failure -j"$(nproc)")

scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

fuzz_seconds=${AVM_FUZZ_SECONDS:-12}
if [ "$fuzz_seconds" -gt 0 ]; then
  scripts/fuzz.sh "$fuzz_seconds"
fi
