#!/bin/sh
# qemu-run.sh <emulator> <sysroot> <library path> <program> [arguments...]
# Runs a program of another architecture under the user-mode emulator, with
# the sysroot's dynamic loader and libraries. A library path the caller set
# (a test pointing at a folder of its own) comes first.
emulator=$1
sysroot=$2
libraries=$3
shift 3
export QEMU_LD_PREFIX="$sysroot"
export QEMU_SET_ENV="LD_LIBRARY_PATH=${LD_LIBRARY_PATH:+$LD_LIBRARY_PATH:}$libraries"
# llvmpipe's generated code samples every texel as texel (0, 0) under the
# 32-bit ARM emulator (its shaders are machine code the emulator translates
# once more); softpipe, Mesa's interpreting rasteriser, draws the same
# pictures as llvmpipe does natively, only slower.
export GALLIUM_DRIVER="${GALLIUM_DRIVER:-softpipe}"
exec "$emulator" "$@"
