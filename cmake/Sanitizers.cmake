# AVM_SANITIZE selects a sanitizer build tree:
#   address  AddressSanitizer + UndefinedBehaviorSanitizer
#   thread   ThreadSanitizer
# Tests that need the Java VM are labelled "jvm" and left out of those trees:
# the VM's own signal handling and JIT code do not run under a sanitizer.
set(AVM_SANITIZE "" CACHE STRING "Sanitizer build: empty, address or thread")

if(AVM_SANITIZE STREQUAL "address")
  set(_avm_san_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
elseif(AVM_SANITIZE STREQUAL "thread")
  set(_avm_san_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT AVM_SANITIZE STREQUAL "")
  message(FATAL_ERROR "AVM_SANITIZE must be empty, address or thread, not '${AVM_SANITIZE}'")
endif()

if(_avm_san_flags)
  add_compile_options(${_avm_san_flags})
  add_link_options(${_avm_san_flags})
endif()
