# The car views: sprite geometry, the frame loop's animation and cache, the
# layers around the car, and the sample car drawn through the whole frame.
avm_add_gtest(avm_car_view_test
  SOURCES car_view_geometry_test.cpp car_view_fixture.cpp frame_loop_test.cpp
    car_sprite_draw_test.cpp ground_layers_test.cpp car_overlay_layers_test.cpp
  LIBRARIES avm_test_support)

avm_add_gtest(avm_car_view_sample_test
  SOURCES car_view_sample_test.cpp
  LIBRARIES avm_test_support
  DEFINITIONS ${AVM_SAMPLE_DEFINITIONS}
  DEPENDS sample_assets)

avm_add_gtest(avm_car_view_jvm_test
  SOURCES car_view_jvm_test.cpp driver_view.cpp jvm_test_support.cpp
  LIBRARIES avm_test_support host_jvm
  DEFINITIONS ${AVM_SAMPLE_DEFINITIONS}
  DEPENDS ${AVM_JVM_TEST_DEPENDS} sample_assets
  JVM)

# What the driver sees through long random sequences of inputs through the
# Java class, checked on every frame from the sample kit's pixel marks.
avm_add_gtest(avm_driver_sequence_jvm_test
  SOURCES driver_sequence_jvm_test.cpp driver_sequence.cpp driver_expectation.cpp
    driver_view.cpp jvm_test_support.cpp
  LIBRARIES avm_test_support host_jvm
  DEFINITIONS ${AVM_SAMPLE_DEFINITIONS}
  DEPENDS ${AVM_JVM_TEST_DEPENDS} sample_assets
  JVM)
