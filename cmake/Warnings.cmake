# Warnings are errors on our own code only; third-party headers come in as
# system includes and stay out of it.
function(avm_strict_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor -Wformat=2 -Wmissing-declarations -Wno-unused-parameter>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Werror -Wformat=2 -Wno-unused-parameter>)
  if(AVM_SANITIZE)
    # Sanitizer instrumentation makes GCC's flow analysis report
    # maybe-uninitialized inside the standard library (std::regex,
    # std::function); the plain build keeps the warning as an error.
    target_compile_options(${target} PRIVATE -Wno-error=maybe-uninitialized)
  endif()
endfunction()
