# 32-bit ARM (hard-float EABI), the processor libavm.so and castorlaunch ship
# for, with Debian's cross compiler (crossbuild-essential-armhf) and a sysroot
# of armhf Debian packages. See DebianCross.cmake.
set(AVM_CROSS_ARCH armhf)
set(AVM_CROSS_TRIPLET arm-linux-gnueabihf)
set(AVM_CROSS_PROCESSOR arm)
set(AVM_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
