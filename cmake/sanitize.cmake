# Sanitizer builds for the CI gates. TARROW_SANITIZE=ON (or "address") instruments everything
# with the address and undefined-behaviour sanitizers; TARROW_SANITIZE=thread with the thread
# sanitizer; TARROW_SANITIZE=fuzz (clang) adds libFuzzer coverage to the address build and the
# harnesses in fuzz/. Every report is fatal, so a test that triggers one fails.
set(TARROW_SANITIZE OFF CACHE STRING "Sanitizers: OFF, ON/address (address + undefined), thread or fuzz")
string(TOLOWER "${TARROW_SANITIZE}" tarrow_sanitize)
if(tarrow_sanitize STREQUAL "off" OR tarrow_sanitize STREQUAL "")
  return()
elseif(tarrow_sanitize STREQUAL "on" OR tarrow_sanitize STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(tarrow_sanitize STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(tarrow_sanitize STREQUAL "fuzz")
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
else()
  message(FATAL_ERROR "TARROW_SANITIZE must be OFF, ON, address, thread or fuzz")
endif()
# GCC's bounds and initialisation warnings misfire on instrumented code (inside std::sort and
# std::regex); the normal build keeps them.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wno-array-bounds -Wno-maybe-uninitialized)
endif()
