# Plate and tyre-panel pictures, converted image files, the panel and plate
# drawing, and their setters through the Java class.
set(AVM_PLATE_TYRE_DEFINITIONS AVM_SAMPLE_ASSETS_DIR="${AVM_SAMPLE_ASSETS_DIR}")

add_library(avm_plate_tyre_fixture STATIC plate_tyre_fixture.cpp)
avm_strict_warnings(avm_plate_tyre_fixture)
target_compile_definitions(avm_plate_tyre_fixture PRIVATE ${AVM_PLATE_TYRE_DEFINITIONS})
target_link_libraries(avm_plate_tyre_fixture PUBLIC avm_test_support)

avm_add_gtest(avm_plate_tyre_image_test
  SOURCES plate_bin_conversion_test.cpp plate_image_test.cpp tyre_image_test.cpp
  LIBRARIES avm_plate_tyre_fixture
  DEFINITIONS ${AVM_PLATE_TYRE_DEFINITIONS}
  DEPENDS sample_assets)

avm_add_gtest(avm_plate_tyre_display_test
  SOURCES tyre_display_test.cpp
  LIBRARIES avm_plate_tyre_fixture
  DEFINITIONS ${AVM_PLATE_TYRE_DEFINITIONS}
  DEPENDS sample_assets)

avm_add_gtest(avm_plate_tyre_jvm_test
  SOURCES tyre_setters_jvm_test.cpp jvm_test_support.cpp
  LIBRARIES avm_plate_tyre_fixture host_jvm
  DEFINITIONS ${AVM_PLATE_TYRE_DEFINITIONS}
  DEPENDS ${AVM_JVM_TEST_DEPENDS} sample_assets
  JVM)

# The billboards and the plate in whole frames of AVM.Draw with the sample car.
avm_add_gtest(avm_plate_tyre_frame_jvm_test
  SOURCES tyre_frame_jvm_test.cpp jvm_test_support.cpp
  LIBRARIES avm_plate_tyre_fixture host_jvm
  DEFINITIONS ${AVM_PLATE_TYRE_DEFINITIONS}
  DEPENDS ${AVM_JVM_TEST_DEPENDS} sample_assets
  JVM)
