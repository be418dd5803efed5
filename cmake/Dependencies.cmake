# Finds what the code links against and gives every dependency one target name,
# the same on the host and on Android:
#   avm::log avm::egl avm::gles2 avm::opencv avm::yuv
#   avm::camera2ndk avm::mediandk avm::android   (quadcam only)
# On the host they come from Debian packages, except the camera, media and
# native-window libraries, which platform/ builds as stand-ins.

find_package(Threads REQUIRED)

if(CMAKE_SYSTEM_NAME STREQUAL "Android")
  set(AVM_HOST_BUILD OFF)
  # avm and castorlaunch ship as 32-bit ARM, quadcam as 64-bit ARM; one
  # configure per ABI builds the deliverables of that ABI.
  if(ANDROID_ABI STREQUAL "armeabi-v7a")
    set(AVM_BUILD_AVM ON)
    set(AVM_BUILD_CASTORLAUNCH ON)
    set(AVM_BUILD_QUADCAM OFF)
  elseif(ANDROID_ABI STREQUAL "arm64-v8a")
    set(AVM_BUILD_AVM OFF)
    set(AVM_BUILD_CASTORLAUNCH OFF)
    set(AVM_BUILD_QUADCAM ON)
  else()
    message(FATAL_ERROR "Unsupported ANDROID_ABI '${ANDROID_ABI}': use armeabi-v7a or arm64-v8a")
  endif()

  foreach(lib log EGL GLESv2 camera2ndk mediandk android)
    find_library(AVM_NDK_${lib} ${lib} REQUIRED)
  endforeach()
  add_library(avm::log INTERFACE IMPORTED)
  target_link_libraries(avm::log INTERFACE ${AVM_NDK_log})
  add_library(avm::egl INTERFACE IMPORTED)
  target_link_libraries(avm::egl INTERFACE ${AVM_NDK_EGL})
  add_library(avm::gles2 INTERFACE IMPORTED)
  target_link_libraries(avm::gles2 INTERFACE ${AVM_NDK_GLESv2})
  add_library(avm::camera2ndk INTERFACE IMPORTED)
  target_link_libraries(avm::camera2ndk INTERFACE ${AVM_NDK_camera2ndk})
  add_library(avm::mediandk INTERFACE IMPORTED)
  target_link_libraries(avm::mediandk INTERFACE ${AVM_NDK_mediandk})
  add_library(avm::android INTERFACE IMPORTED)
  target_link_libraries(avm::android INTERFACE ${AVM_NDK_android})

  # OpenCV's Android SDK: pass -DOpenCV_DIR=<sdk>/sdk/native/jni.
  find_package(OpenCV 4 REQUIRED COMPONENTS core imgproc imgcodecs)
  add_library(avm::opencv INTERFACE IMPORTED)
  target_link_libraries(avm::opencv INTERFACE ${OpenCV_LIBS})
  target_include_directories(avm::opencv SYSTEM INTERFACE ${OpenCV_INCLUDE_DIRS})

  # libyuv built for the ABI: pass -DLIBYUV_ROOT=<prefix> (include/, lib/).
  find_path(LIBYUV_INCLUDE_DIR libyuv.h HINTS ${LIBYUV_ROOT}/include REQUIRED)
  find_library(LIBYUV_LIBRARY yuv HINTS ${LIBYUV_ROOT}/lib REQUIRED)
else()
  set(AVM_HOST_BUILD ON)
  set(AVM_BUILD_AVM ON)
  set(AVM_BUILD_CASTORLAUNCH ON)
  set(AVM_BUILD_QUADCAM ON)

  # Debian's liblog keeps its headers and library in folders of their own.
  find_path(ANDROID_LOG_INCLUDE_DIR android/log.h PATHS /usr/include/android NO_DEFAULT_PATH REQUIRED)
  find_library(ANDROID_LOG_LIBRARY log PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/android NO_DEFAULT_PATH REQUIRED)
  add_library(avm::log INTERFACE IMPORTED)
  target_include_directories(avm::log SYSTEM INTERFACE ${ANDROID_LOG_INCLUDE_DIR})
  target_link_libraries(avm::log INTERFACE ${ANDROID_LOG_LIBRARY})
  get_filename_component(ANDROID_LOG_LIBRARY_DIR ${ANDROID_LOG_LIBRARY} DIRECTORY)
  # In a cross build the library is found inside the sysroot, but the target
  # machine has it at the same path without the sysroot's prefix.
  if(CMAKE_SYSROOT)
    string(REGEX REPLACE "^${CMAKE_SYSROOT}" "" ANDROID_LOG_LIBRARY_DIR "${ANDROID_LOG_LIBRARY_DIR}")
  endif()
  # The library is outside the linker's search path at run time as well.
  target_link_options(avm::log INTERFACE "LINKER:-rpath,${ANDROID_LOG_LIBRARY_DIR}")

  find_path(EGL_INCLUDE_DIR EGL/egl.h REQUIRED)
  find_library(EGL_LIBRARY EGL REQUIRED)
  add_library(avm::egl INTERFACE IMPORTED)
  target_include_directories(avm::egl SYSTEM INTERFACE ${EGL_INCLUDE_DIR})
  target_link_libraries(avm::egl INTERFACE ${EGL_LIBRARY})

  find_path(GLES2_INCLUDE_DIR GLES2/gl2.h REQUIRED)
  find_library(GLES2_LIBRARY GLESv2 REQUIRED)
  add_library(avm::gles2 INTERFACE IMPORTED)
  target_include_directories(avm::gles2 SYSTEM INTERFACE ${GLES2_INCLUDE_DIR})
  target_link_libraries(avm::gles2 INTERFACE ${GLES2_LIBRARY})

  # Debian splits OpenCV into per-module packages without a CMake package
  # file unless the whole libopencv-dev is present; find the three modules.
  find_package(OpenCV 4 QUIET COMPONENTS core imgproc imgcodecs)
  add_library(avm::opencv INTERFACE IMPORTED)
  if(OpenCV_FOUND)
    target_link_libraries(avm::opencv INTERFACE ${OpenCV_LIBS})
    target_include_directories(avm::opencv SYSTEM INTERFACE ${OpenCV_INCLUDE_DIRS})
  else()
    find_path(OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
    foreach(module core imgproc imgcodecs)
      find_library(OPENCV_${module}_LIBRARY opencv_${module} REQUIRED)
      target_link_libraries(avm::opencv INTERFACE ${OPENCV_${module}_LIBRARY})
    endforeach()
    target_include_directories(avm::opencv SYSTEM INTERFACE ${OPENCV_INCLUDE_DIR})
  endif()

  # Debian's libyuv ships neither a pkg-config nor a CMake file.
  find_path(LIBYUV_INCLUDE_DIR libyuv.h REQUIRED)
  find_library(LIBYUV_LIBRARY yuv REQUIRED)

  # The host Java runtime runs the Java classes that load our libraries;
  # the headless JDK has no AWT, so ask for the VM only.
  find_package(Java 17 REQUIRED COMPONENTS Runtime Development)
  include(UseJava)
  # Take the headers and libjvm of the JDK whose javac builds the classes,
  # whatever other JDKs the machine has.
  if(NOT DEFINED ENV{JAVA_HOME} AND NOT JAVA_HOME)
    get_filename_component(_javac_real "${Java_JAVAC_EXECUTABLE}" REALPATH)
    get_filename_component(_jdk_bin "${_javac_real}" DIRECTORY)
    get_filename_component(JAVA_HOME "${_jdk_bin}" DIRECTORY)
  endif()
  find_package(JNI REQUIRED COMPONENTS JVM)

  find_package(GTest REQUIRED)
  find_package(benchmark REQUIRED)
  find_package(glm REQUIRED)
endif()

add_library(avm::yuv INTERFACE IMPORTED)
target_include_directories(avm::yuv SYSTEM INTERFACE ${LIBYUV_INCLUDE_DIR})
target_link_libraries(avm::yuv INTERFACE ${LIBYUV_LIBRARY})
