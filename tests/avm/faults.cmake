# The write-failure tests run with libwrite_faults.so preloaded. Only the
# plain tree builds them: a preloaded library ahead of a sanitizer's runtime
# is refused by it, and the code they drive also runs under the sanitizers
# in its own tests.
if(NOT AVM_SANITIZE)
  add_library(write_faults SHARED ${PROJECT_SOURCE_DIR}/tests/faults/write_faults_preload.cpp)
  avm_strict_warnings(write_faults)
  target_link_libraries(write_faults PRIVATE ${CMAKE_DL_LIBS})

  avm_add_gtest(avm_write_faults_test
    SOURCES write_faults_test.cpp ${PROJECT_SOURCE_DIR}/tests/faults/write_faults.cpp
    LIBRARIES avm_testable ${CMAKE_DL_LIBS}
    DEFINITIONS AVM_SAMPLE_ASSETS_DIR="${AVM_SAMPLE_ASSETS_DIR}"
    DEPENDS sample_assets write_faults)
  set_property(TEST avm_write_faults_test APPEND PROPERTY ENVIRONMENT
    "LD_PRELOAD=$<TARGET_FILE:write_faults>")
endif()
