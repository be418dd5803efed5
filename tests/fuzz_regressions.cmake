# Every input the fuzzers ever failed on is kept in fuzz/regressions/<target>/
# and replayed here through the same harness sources, compiled by the
# normal toolchain: in the AddressSanitizer tree the replay runs under the
# sanitizers the fuzzers used.
set(_fuzz_dir ${PROJECT_SOURCE_DIR}/fuzz)
set(_fuzz_replay_definitions AVM_FUZZ_REPLAY AVM_FUZZ_REGRESSIONS="${_fuzz_dir}/regressions")
avm_add_gtest(fuzz_regressions_avm_test
  SOURCES ${_fuzz_dir}/replay_main.cpp ${_fuzz_dir}/fuzz_support.cpp ${_fuzz_dir}/fuzz_scene.cpp
    ${_fuzz_dir}/targets/unpack.cpp ${_fuzz_dir}/targets/params.cpp ${_fuzz_dir}/targets/config.cpp
    ${_fuzz_dir}/targets/sprite_bytes.cpp ${_fuzz_dir}/targets/converted_bin.cpp
    ${_fuzz_dir}/targets/overlay_paste.cpp ${_fuzz_dir}/targets/glyph_sheets.cpp
    ${_fuzz_dir}/targets/mesh.cpp ${_fuzz_dir}/targets/tools_package.cpp
    ${_fuzz_dir}/targets/tools_convert.cpp
  LIBRARIES avm_testable avm_tools avm::opencv
  DEFINITIONS ${_fuzz_replay_definitions})
avm_add_gtest(fuzz_regressions_quadcam_test
  SOURCES ${_fuzz_dir}/replay_main.cpp ${_fuzz_dir}/fuzz_support.cpp
    ${_fuzz_dir}/targets/quadcam_comb.cpp
  LIBRARIES quadcam_testable
  DEFINITIONS ${_fuzz_replay_definitions})
