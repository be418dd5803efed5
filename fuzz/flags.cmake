# The fuzz tree (-DAVM_FUZZ=ON, clang only, a tree of its own): every object
# of the project is compiled with libFuzzer's coverage hooks and with
# AddressSanitizer + UBSan, so the harnesses see the edges of the readers
# they drive; only the harness programs link libFuzzer's main.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "AVM_FUZZ needs clang (configure with CC=clang CXX=clang++)")
endif()
if(AVM_SANITIZE)
  message(FATAL_ERROR "AVM_FUZZ brings its own sanitizers: leave AVM_SANITIZE empty")
endif()
set(AVM_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
  -fno-omit-frame-pointer -gline-tables-only)
add_compile_options(${AVM_FUZZ_FLAGS})
# The shared libraries are linked with --no-undefined, which a static
# sanitizer runtime (linked into executables only) cannot satisfy: every
# module shares the runtime's shared library instead, found through the
# rpath.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-${CMAKE_SYSTEM_PROCESSOR}.so
  OUTPUT_VARIABLE _avm_asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_avm_sanitizer_dir "${_avm_asan_runtime}" DIRECTORY)
if(NOT EXISTS "${_avm_asan_runtime}")
  message(FATAL_ERROR "clang's sanitizer runtime is missing (Debian: libclang-rt-14-dev)")
endif()
add_link_options(-fsanitize=address,undefined -shared-libsan "LINKER:-rpath,${_avm_sanitizer_dir}")
