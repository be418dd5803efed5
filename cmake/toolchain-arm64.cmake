# 64-bit ARM, the processor libquadcam.so ships for, with Debian's cross
# compiler (crossbuild-essential-arm64) and a sysroot of arm64 Debian
# packages. See DebianCross.cmake.
set(AVM_CROSS_ARCH arm64)
set(AVM_CROSS_TRIPLET aarch64-linux-gnu)
set(AVM_CROSS_PROCESSOR aarch64)
set(AVM_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
