# One INTERFACE target carries the compiler settings every project target uses.
add_library(qv_settings INTERFACE)
target_compile_features(qv_settings INTERFACE cxx_std_20)
target_compile_options(qv_settings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  $<$<BOOL:${QV_WERROR}>:-Werror>)
target_include_directories(qv_settings INTERFACE ${CMAKE_SOURCE_DIR}/src)
