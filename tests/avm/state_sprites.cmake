# The composed car sprites (top view, side, end, door and partial views),
# through a headless GL context with the sample car and hand-made cars.
avm_add_gtest(avm_state_sprite_test
  SOURCES
    state_sprite_support.cpp
    state_sprite_sample_test.cpp
    state_sprite_top_test.cpp
    state_sprite_compose_test.cpp
  LIBRARIES avm_test_support
  DEFINITIONS ${AVM_SAMPLE_DEFINITIONS}
  DEPENDS sample_assets)
