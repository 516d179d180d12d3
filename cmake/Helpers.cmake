# Small helpers shared by every folder's CMakeLists.txt.

# unitflash_add_tests(NAME [QTEST] [FOLDER_HEADERS] SOURCES... LIBS lib...
#                     [PROGRAMS program...] [LABELS label...]
#                     [PROPERTIES property value...])
# Builds one test program from a folder's tests and registers it with
# CTest; the only way tests are declared. Does nothing when tests are off.
# The program runs the PROGRAMS (see unitflash_needs_programs); with
# FOLDER_HEADERS it also includes the headers of the folder it is declared
# in (those of no library it links). A GoogleTest program
# registers each test case; in a cross-build it is one CTest entry, run
# under CMAKE_CROSSCOMPILING_EMULATOR: starting the emulator for every test
# case would cost more than the tests. QTEST: a QTest program with its own
# main, one CTest entry. LABELS and PROPERTIES go to every entry.
function(unitflash_add_tests name)
  if(NOT UNITFLASH_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "QTEST;FOLDER_HEADERS" "" "SOURCES;LIBS;PROGRAMS;LABELS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  if(NOT T_QTEST)
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  endif()
  if(T_FOLDER_HEADERS)
    unitflash_folder_headers(${name} PRIVATE)
  endif()
  unitflash_needs_programs(${name} ${T_PROGRAMS})
  # No test may write to the user's own upgrade history: a program a test
  # starts without naming one writes into the build tree.
  set(props ${T_PROPERTIES}
      ENVIRONMENT_MODIFICATION "UNITFLASH_HISTORY=set:${PROJECT_BINARY_DIR}/test-history/history.sqlite3")
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(CMAKE_CROSSCOMPILING OR T_QTEST)
    add_test(NAME ${name} COMMAND ${name})
    if(props)
      set_tests_properties(${name} PROPERTIES ${props})
    endif()
    return()
  endif()
  if(props)
    set(props PROPERTIES ${props})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 ${props})
endfunction()

# unitflash_needs_programs(TARGET PROGRAM...)
# TARGET runs programs the build makes: it is built after them, and each
# one's path reaches its sources as the string macro <PROGRAM>_PATH, the
# name in upper case with "-" as "_" (unitflash-cli: UNITFLASH_CLI_PATH).
# A program may be defined in a folder added later.
function(unitflash_needs_programs target)
  foreach(program IN LISTS ARGN)
    string(TOUPPER "${program}" macro)
    string(REPLACE "-" "_" macro "${macro}")
    target_compile_definitions(${target} PRIVATE "${macro}_PATH=\"$<TARGET_FILE:${program}>\"")
    add_dependencies(${target} ${program})
  endforeach()
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

# unitflash_link_headers(TARGET PACKAGE IMPORTED DIR)
# Gives TARGET, privately, a header-only Debian package whose headers lie in
# /usr/include/DIR: its IMPORTED target from find_package(PACKAGE). In a
# mingw cross-build its package files are not found and adding the host's
# whole /usr/include would let host headers shadow mingw's, so the build
# tree gets a folder holding only a link to /usr/include/DIR.
function(unitflash_link_headers target package imported dir)
  if(WIN32)
    set(root ${PROJECT_BINARY_DIR}/headers/${package})
    if(NOT EXISTS ${root}/${dir})
      file(MAKE_DIRECTORY ${root})
      file(CREATE_LINK /usr/include/${dir} ${root}/${dir} SYMBOLIC)
    endif()
    target_include_directories(${target} SYSTEM PRIVATE ${root})
  else()
    find_package(${package} REQUIRED)
    target_link_libraries(${target} PRIVATE ${imported})
  endif()
endfunction()

# CLI11 (libcli11-dev) and nlohmann-json (nlohmann-json3-dev).
function(unitflash_link_cli11 target)
  unitflash_link_headers(${target} CLI11 CLI11::CLI11 CLI)
endfunction()
function(unitflash_link_json target)
  unitflash_link_headers(${target} nlohmann_json nlohmann_json::nlohmann_json nlohmann)
endfunction()
