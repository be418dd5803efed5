# Every native method of the renderer from several threads while frames
# draw, through a JNIEnv stand-in so that it runs under ThreadSanitizer.
avm_add_gtest(avm_jni_stress_test
  SOURCES jni_stress_test.cpp fake_jni_env.cpp
  LIBRARIES avm_test_support avm_objects_fixture
  TSAN)
