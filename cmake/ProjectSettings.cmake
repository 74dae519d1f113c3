# One INTERFACE target carries the compiler settings every project target uses.
add_library(qv_settings INTERFACE)
target_compile_features(qv_settings INTERFACE cxx_std_20)
target_compile_options(qv_settings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  $<$<BOOL:${QV_WERROR}>:-Werror>)
target_include_directories(qv_settings INTERFACE ${CMAKE_SOURCE_DIR}/src)

# Profile-guided optimisation, for the release build (scripts/release.sh): GENERATE builds
# programs that record how often each branch and call runs, into QV_PGO_DIR; USE builds them
# again with that record, so the code a transfer runs for every row is laid out together and
# the rest kept out of its way. Profile files are named by each object's path below the build
# folder, so a second build folder finds the first one's records.
set(QV_PGO "OFF" CACHE STRING "Profile-guided optimisation: OFF, GENERATE or USE")
set_property(CACHE QV_PGO PROPERTY STRINGS OFF GENERATE USE)
set(QV_PGO_DIR "${CMAKE_BINARY_DIR}/pgo-profile" CACHE PATH "Folder of the profile QV_PGO records or uses")
if(NOT QV_PGO STREQUAL "OFF" AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  message(FATAL_ERROR "QV_PGO uses GCC's profile options; this compiler is ${CMAKE_CXX_COMPILER_ID}")
endif()
if(QV_PGO STREQUAL "GENERATE")
  add_compile_options(-fprofile-generate=${QV_PGO_DIR} -fprofile-update=atomic
                      -fprofile-prefix-path=${CMAKE_BINARY_DIR})
  add_link_options(-fprofile-generate=${QV_PGO_DIR})
elseif(QV_PGO STREQUAL "USE")
  # Functions the training did not run keep their usual optimisation; a function changed since
  # the profile was recorded has its record ignored, with no warning.
  add_compile_options(-fprofile-use=${QV_PGO_DIR} -fprofile-partial-training
                      -fprofile-prefix-path=${CMAKE_BINARY_DIR} -Wno-missing-profile -Wno-coverage-mismatch)
elseif(NOT QV_PGO STREQUAL "OFF")
  message(FATAL_ERROR "QV_PGO must be OFF, GENERATE or USE, not '${QV_PGO}'")
endif()
