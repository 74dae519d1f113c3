# Adds base/<dir> for each listed dir that has a CMakeLists.txt, so a layer joins the build
# as soon as its folder does.
function(qv_add_layer_dirs base)
  foreach(dir IN LISTS ARGN)
    if(EXISTS "${CMAKE_SOURCE_DIR}/${base}/${dir}/CMakeLists.txt")
      add_subdirectory("${base}/${dir}" "${CMAKE_BINARY_DIR}/${base}/${dir}")
    endif()
  endforeach()
endfunction()

# Adds every direct child folder of <dir> that has a CMakeLists.txt, in name order.
function(qv_add_child_dirs dir)
  file(GLOB children LIST_DIRECTORIES true "${CMAKE_SOURCE_DIR}/${dir}/*")
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY "${child}" AND EXISTS "${child}/CMakeLists.txt")
      add_subdirectory("${child}")
    endif()
  endforeach()
endfunction()

# qv_add_test(NAME name SOURCES ... LIBS ...): one GoogleTest executable registered with CTest.
# The test binary knows where the shared corpus and the oracles are through two macros.
function(qv_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE qv_settings ${T_LIBS} qv_test_oracles GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${T_NAME} PRIVATE
    QV_SHARED_DIR="${QV_SHARED_DIR}" QV_ORACLE_DIR="${QV_ORACLE_DIR}"
    QV_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QV_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
