# Small helpers shared by every folder's CMakeLists.txt.

# unitflash_add_tests(NAME SOURCES... LIBS lib... [LABELS label...])
# Builds one GoogleTest program from a folder's tests/ and registers each
# test with CTest. Does nothing when tests are off. In a cross-build the
# whole program is one CTest entry, run under CMAKE_CROSSCOMPILING_EMULATOR:
# starting the emulator for every test case would cost more than the tests.
function(unitflash_add_tests name)
  if(NOT UNITFLASH_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    if(T_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
    return()
  endif()
  set(props "")
  if(T_LABELS)
    set(props PROPERTIES LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 ${props})
endfunction()

# unitflash_folder_headers(TARGET PUBLIC|PRIVATE)
# Lets TARGET (and with PUBLIC, whatever links it) include the headers of
# the folder this is called from by their path from the project root
# ("comlink/CommLink.h"), and no other folder's. The include directory is a
# folder of the build tree holding a single link to this source folder, so
# a target sees exactly the folders of the targets it links.
function(unitflash_folder_headers target scope)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" key "${rel}")
  set(root ${PROJECT_BINARY_DIR}/headers/${key})
  if(NOT EXISTS ${root}/${rel})
    get_filename_component(parent ${root}/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${rel} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# unitflash_link_cli11(TARGET)
# Gives TARGET the header-only CLI11 (Debian's libcli11-dev). In a mingw
# cross-build its package files are not found and adding the host's whole
# /usr/include would let host headers shadow mingw's, so the build tree
# gets a folder holding only a link to /usr/include/CLI.
function(unitflash_link_cli11 target)
  if(WIN32)
    set(dir ${PROJECT_BINARY_DIR}/headers/cli11)
    if(NOT EXISTS ${dir}/CLI)
      file(MAKE_DIRECTORY ${dir})
      file(CREATE_LINK /usr/include/CLI ${dir}/CLI SYMBOLIC)
    endif()
    target_include_directories(${target} SYSTEM PRIVATE ${dir})
  else()
    find_package(CLI11 REQUIRED)
    target_link_libraries(${target} PRIVATE CLI11::CLI11)
  endif()
endfunction()
