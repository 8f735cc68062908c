# Optimisation choices of the build, kept out of the main list file.
#
#   TARROW_LTO     link-time optimisation of the release programs (default ON)
#   TARROW_NATIVE  code for this machine's processor only (-march=native; default OFF, since a
#                  default build must run on any x86-64 machine)
#   TARROW_PGO     profile-guided optimisation: GENERATE builds instrumented programs that write
#                  their profile next to the object files; USE rebuilds the same build directory
#                  from that profile. `make pgo` runs the whole sequence.

include(CheckIPOSupported)

option(TARROW_LTO "Link-time optimisation" ON)
option(TARROW_NATIVE "Generate code for the local processor only" OFF)
set(TARROW_PGO "" CACHE STRING "Profile-guided optimisation phase: empty, GENERATE or USE")
set_property(CACHE TARROW_PGO PROPERTY STRINGS "" GENERATE USE)

if(TARROW_LTO AND NOT TARROW_SANITIZE)
  check_ipo_supported(RESULT tarrow_ipo_ok OUTPUT tarrow_ipo_message LANGUAGES CXX)
  if(tarrow_ipo_ok)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE ON)
    # GCC compiles the partitions of one program in parallel; two jobs match the usual machine.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      add_link_options($<$<CONFIG:Release>:-flto=2>)
    endif()
  else()
    message(STATUS "Link-time optimisation not available: ${tarrow_ipo_message}")
  endif()
endif()

if(TARROW_NATIVE)
  add_compile_options(-march=native)
endif()

# Only the engine's own code is trained and optimised from the profile: the tests and tools
# have no profile, and the compiler would warn about every one of their files (as it would about
# the engine files that the training never runs).
set(tarrow_profiled "$<IN_LIST:$<TARGET_PROPERTY:NAME>,tarrow;tarrow_mp;engine;engine-mp>")
if(TARROW_PGO STREQUAL "GENERATE")
  add_compile_options(-fprofile-generate)
  add_link_options(-fprofile-generate)
elseif(TARROW_PGO STREQUAL "USE")
  add_compile_options("$<${tarrow_profiled}:-fprofile-use;-fprofile-correction;-Wno-missing-profile>")
elseif(NOT TARROW_PGO STREQUAL "")
  message(FATAL_ERROR "TARROW_PGO must be empty, GENERATE or USE, not '${TARROW_PGO}'")
endif()
