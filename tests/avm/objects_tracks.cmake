# Objects around the car, guide tracks and the radar display: the mesh
# reader, the drawers in the real GL context, the objects through whole
# frames with the sample car, and the object setter through the Java class.
add_library(avm_objects_fixture STATIC object_mesh_files.cpp)
avm_strict_warnings(avm_objects_fixture)
target_include_directories(avm_objects_fixture PUBLIC ${PROJECT_SOURCE_DIR})

avm_add_gtest(avm_mesh_reader_test
  SOURCES mesh_reader_test.cpp
  LIBRARIES avm_testable)

avm_add_gtest(avm_objects_draw_test
  SOURCES object_draw_test.cpp
  LIBRARIES avm_test_support avm_objects_fixture)

avm_add_gtest(avm_objects_frame_test
  SOURCES object_frame_test.cpp
  LIBRARIES avm_test_support avm_objects_fixture
  DEFINITIONS ${AVM_SAMPLE_DEFINITIONS}
  DEPENDS sample_assets)

avm_add_gtest(avm_track_test
  SOURCES track_tessellation_test.cpp track_drawer_test.cpp
  LIBRARIES avm_test_support avm_objects_fixture)

avm_add_gtest(avm_radar_test
  SOURCES radar_display_test.cpp
  LIBRARIES avm_test_support avm_objects_fixture)

avm_add_gtest(avm_objects_jvm_test
  SOURCES object_setter_jvm_test.cpp jvm_test_support.cpp
  LIBRARIES avm_test_support host_jvm
  DEPENDS ${AVM_JVM_TEST_DEPENDS}
  JVM)

# The public headers compile on their own and the shipped library exports
# what they declare.
avm_add_gtest(avm_objects_exports_test
  SOURCES objects_exports_test.cpp
  DEFINITIONS AVM_LIBRARY="$<TARGET_FILE:avm>"
  DEPENDS avm)
# The ThreadSanitizer tree builds only the threaded tests, so the target may
# not exist there.
if(TARGET avm_objects_exports_test)
  target_include_directories(avm_objects_exports_test PRIVATE ${PROJECT_SOURCE_DIR})
endif()
