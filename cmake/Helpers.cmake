# Small helpers shared by every folder's CMakeLists.txt.

# unitflash_add_tests(NAME SOURCES... LIBS lib... [LABELS label...])
# Builds one GoogleTest program from a folder's tests/ and registers each
# test with CTest. Does nothing when tests are off (the Windows cross-build).
function(unitflash_add_tests name)
  if(NOT UNITFLASH_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set(props "")
  if(T_LABELS)
    set(props PROPERTIES LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 ${props})
endfunction()
