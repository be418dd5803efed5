#!/usr/bin/env bash
# The whole test suite: installs what is missing, then builds and tests three
# trees: AddressSanitizer + UBSan (every test that runs without the Java VM),
# ThreadSanitizer (the threaded tests), and the plain build with every test.
# Any failure or sanitizer report fails the run. Then scripts/test-arm.sh
# builds the deliverables for ARM and runs their tests under emulation.
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
cd build && ctest --output-on-failure -j"$(nproc)"
"$root/scripts/test-arm.sh"
