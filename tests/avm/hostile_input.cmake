# What the renderer does with input that would stop, stall or flood it: the
# boundary at every entry point and the scene lock taken from inside a call
# into Java.
avm_add_gtest(avm_entry_boundary_test
  SOURCES entry_boundary_test.cpp
  LIBRARIES avm_test_support
  TSAN)
