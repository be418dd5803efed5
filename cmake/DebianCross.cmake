# Shared part of the Debian cross toolchain files (toolchain-armhf.cmake,
# toolchain-arm64.cmake). The including file sets AVM_CROSS_ARCH (Debian's
# architecture name), AVM_CROSS_TRIPLET (the GNU triplet, also the multiarch
# folder name), AVM_CROSS_PROCESSOR and AVM_CROSS_QEMU (the user-mode
# emulator's name).
#
# The compilers are Debian's cross compilers; headers and libraries come from
# a sysroot of the architecture's Debian packages (scripts/test-arm.sh makes
# one). Pass -DAVM_CROSS_SYSROOT=<dir> or set it in the environment; the
# default is the cache folder that script uses.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${AVM_CROSS_PROCESSOR})
set(CMAKE_LIBRARY_ARCHITECTURE ${AVM_CROSS_TRIPLET})

if(NOT AVM_CROSS_SYSROOT)
  if(DEFINED ENV{AVM_CROSS_SYSROOT})
    set(AVM_CROSS_SYSROOT "$ENV{AVM_CROSS_SYSROOT}")
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(AVM_CROSS_SYSROOT "$ENV{XDG_CACHE_HOME}/avm-arm/sysroot-${AVM_CROSS_ARCH}")
  else()
    set(AVM_CROSS_SYSROOT "$ENV{HOME}/.cache/avm-arm/sysroot-${AVM_CROSS_ARCH}")
  endif()
endif()
if(NOT EXISTS "${AVM_CROSS_SYSROOT}/usr/include")
  message(FATAL_ERROR "No ${AVM_CROSS_ARCH} sysroot at ${AVM_CROSS_SYSROOT}: run scripts/test-arm.sh or pass -DAVM_CROSS_SYSROOT=<dir>")
endif()
# try_compile projects read the toolchain file again without the cache.
set(ENV{AVM_CROSS_SYSROOT} "${AVM_CROSS_SYSROOT}")
set(AVM_CROSS_SYSROOT "${AVM_CROSS_SYSROOT}" CACHE PATH "Sysroot of the ${AVM_CROSS_ARCH} Debian packages")

set(CMAKE_SYSROOT "${AVM_CROSS_SYSROOT}")
set(CMAKE_C_COMPILER ${AVM_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${AVM_CROSS_TRIPLET}-g++)
# GCC notes on 32-bit ARM that std::vector iterators are passed differently
# than before GCC 7.1; nothing here mixes code of such old compilers.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")

# Libraries, headers and packages only from the sysroot; programs (javac,
# jar) from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config knows nothing of the sysroot by itself: left alone it hands the
# build machine's .pc files (and their include folders) to the cross compiler.
set(ENV{PKG_CONFIG_LIBDIR}
  "${AVM_CROSS_SYSROOT}/usr/lib/${AVM_CROSS_TRIPLET}/pkgconfig:${AVM_CROSS_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${AVM_CROSS_SYSROOT}")
unset(ENV{PKG_CONFIG_PATH})

# The JNI headers and libjvm are the target's JDK; the Java classes are
# compiled by the build machine's JDK (class files are the same everywhere),
# which must not be looked up under the target JDK's bin/.
set(JAVA_HOME "${AVM_CROSS_SYSROOT}/usr/lib/jvm/java-17-openjdk-${AVM_CROSS_ARCH}")
foreach(_pair JAVA:java JAVAC:javac JAR:jar)
  string(REPLACE ":" ";" _pair "${_pair}")
  list(GET _pair 0 _var)
  list(GET _pair 1 _tool)
  find_program(_host_tool ${_tool} PATHS /usr/bin NO_DEFAULT_PATH NO_CACHE)
  if(_host_tool)
    get_filename_component(_host_tool "${_host_tool}" REALPATH)
    set(Java_${_var}_EXECUTABLE "${_host_tool}" CACHE FILEPATH "Build machine's ${_tool}")
  endif()
  unset(_host_tool)
endforeach()

# Target programs (tests, the sample generator) run under the user-mode
# emulator. The emulator's -L prefix redirects the paths the program opens,
# but not every system call the log library makes goes through it, so the
# dynamic loader also gets the sysroot's library folders.
set(_libs
  "${AVM_CROSS_SYSROOT}/lib/${AVM_CROSS_TRIPLET}"
  "${AVM_CROSS_SYSROOT}/usr/lib/${AVM_CROSS_TRIPLET}"
  "${AVM_CROSS_SYSROOT}/usr/lib/${AVM_CROSS_TRIPLET}/android"
  "${JAVA_HOME}/lib/server"
  "${JAVA_HOME}/lib")
string(JOIN ":" _library_path ${_libs})
set(CMAKE_CROSSCOMPILING_EMULATOR
  "${CMAKE_CURRENT_LIST_DIR}/qemu-run.sh" ${AVM_CROSS_QEMU} "${AVM_CROSS_SYSROOT}" "${_library_path}")
