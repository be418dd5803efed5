# What the renderer does with input that would stop, stall or flood it: the
# boundary at every entry point and the scene lock taken from inside a call
# into Java, and hostile pictures met by frames (also in a child process
# limited to 2 GB of address space).
avm_add_gtest(avm_entry_boundary_test
  SOURCES entry_boundary_test.cpp
  LIBRARIES avm_test_support
  TSAN)

avm_add_gtest(avm_hostile_picture_test
  SOURCES hostile_picture_test.cpp fake_jni_env.cpp
  LIBRARIES avm_test_support)

# An app whose Java handlers call the renderer from inside its frame. A
# deadlock would hang the program: its time limit ends such a run.
avm_add_gtest(avm_reentry_jvm_test
  SOURCES jvm_reentry_test.cpp jvm_test_support.cpp
  LIBRARIES avm_test_support host_jvm
  DEPENDS ${AVM_JVM_TEST_DEPENDS}
  JVM
  TIMEOUT 120)
