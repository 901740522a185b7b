# Helpers shared by every folder of the project.

set(PIBO_WARNINGS -Wall -Wextra -Wpedantic -Wno-unused-parameter)
if(PIBO_WERROR)
  list(APPEND PIBO_WARNINGS -Werror)
endif()

# ccache takes the results of a clang build that uses precompiled headers
# only when the headers carry no timestamp.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:SHELL:-Xclang -fno-pch-timestamp>")
endif()

# Test programs are compiled without optimisation: they spend their time in the
# libraries (optimised as usual), and unoptimised test code compiles in about
# two thirds of the time.
set(PIBO_TEST_OPTIONS -O0)

# The Qt headers every widget-level library leans on; compiled once per target.
set(PIBO_QT_PCH
  <QtCore/QString>
  <QtCore/QByteArray>
  <QtCore/QList>
  <QtCore/QObject>
  <QtGui/QPainter>
  <QtGui/QImage>
  <QtWidgets/QWidget>)

# The precompiled headers are compiled once for the whole tree, in two holder
# targets (libraries: the Qt headers; tests: the Qt headers and GoogleTest),
# and every other target reuses them instead of compiling its own copy.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/pibo_pch_holder.cpp CONTENT "// Holds a shared precompiled header.\n")

function(pibo_pch_holder name)
  if(NOT TARGET ${name})
    add_library(${name} OBJECT ${CMAKE_BINARY_DIR}/pibo_pch_holder.cpp)
    set_target_properties(${name} PROPERTIES AUTOMOC OFF)
    # Same warning options as the users: -Wpedantic changes the predefined macros.
    target_compile_options(${name} PRIVATE ${PIBO_WARNINGS})
    target_link_libraries(${name} PRIVATE ${ARGN})
    target_compile_options(${name} PRIVATE ${PIBO_HOLDER_OPTIONS})
    target_precompile_headers(${name} PRIVATE ${PIBO_QT_PCH})
  endif()
endfunction()

# pibo_library(<name> SOURCES ... LINKS ... [NO_PCH] [OWN_INCLUDES]): with
# OWN_INCLUDES the caller sets the include folders (the folder of the
# CMakeLists is not one), and LINKS are private.
function(pibo_library name)
  cmake_parse_arguments(ARG "NO_PCH;OWN_INCLUDES" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  target_compile_options(${name} PRIVATE ${PIBO_WARNINGS})
  if(ARG_OWN_INCLUDES)
    target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  else()
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  endif()
  if(NOT ARG_NO_PCH)
    pibo_pch_holder(pibo_pch_qt Qt6::Widgets)
    target_precompile_headers(${name} REUSE_FROM pibo_pch_qt)
  endif()
endfunction()

# pibo_program(<name> SOURCES ... LINKS ...)
function(pibo_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${PIBO_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
endfunction()

# pibo_test(<name> SOURCES ... LINKS ... [X_DISPLAY] [RICH_TEXT]): a GoogleTest
# executable whose cases run under CTest with Qt in offscreen mode; with
# X_DISPLAY, each case runs on a virtual X display of its own instead
# (xvfb-run), for what cannot run offscreen: the web engine. With RICH_TEXT
# (every program that links the rich-text suite, also through the screens),
# its main installs the suite's hooks first, as the programs do.
function(pibo_test name)
  cmake_parse_arguments(ARG "X_DISPLAY;RICH_TEXT" "" "SOURCES;LINKS" ${ARGN})
  if(ARG_RICH_TEXT)
    set(main ${PROJECT_SOURCE_DIR}/tests/support/RichTextTestMain.cpp)
  else()
    set(main ${PROJECT_SOURCE_DIR}/tests/support/TestProgramMain.cpp)
  endif()
  add_executable(${name} ${ARG_SOURCES} ${main})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
  target_compile_options(${name} PRIVATE ${PIBO_WARNINGS})
  target_compile_options(${name} PRIVATE ${PIBO_TEST_OPTIONS})
  set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} pibo_test_support GTest::gtest)
  if(NOT TARGET pibo_pch_gtest)
    set(PIBO_HOLDER_OPTIONS ${PIBO_TEST_OPTIONS})
    pibo_pch_holder(pibo_pch_gtest Qt6::Widgets GTest::gtest)
    target_precompile_headers(pibo_pch_gtest PRIVATE <gtest/gtest.h>)
  endif()
  target_precompile_headers(${name} REUSE_FROM pibo_pch_gtest)
  if(ARG_X_DISPLAY)
    set_target_properties(${name} PROPERTIES
      CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/support/with-x-display.sh)
  endif()
  # A sanitized build runs only the test programs of its list (Sanitize.cmake).
  if(PIBO_SANITIZE AND NOT name IN_LIST PIBO_SANITIZE_TESTS)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    return()
  endif()
  set(env "QT_QPA_PLATFORM=offscreen" "PIBO_PROGRAM_FOLDER=${PIBO_PROGRAM_FOLDER}" ${PIBO_SANITIZE_ENV})
  if(PIBO_SANITIZE)
    # A sanitized process starts slowly: each program runs whole, once (its
    # death tests still have processes of their own).
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 900)
    return()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${env}"
               TIMEOUT 120)
endfunction()

# pibo_bench(<name> SOURCES ... LINKS ...): a Google Benchmark program, built
# into bench-bin/ of the build tree (not into the program folder); CTest does
# not run it, and the default build leaves it out: the target `bench` builds
# every benchmark.
function(pibo_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench-bin)
  target_compile_options(${name} PRIVATE ${PIBO_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} pibo_bench_support)
  set_property(GLOBAL APPEND PROPERTY PIBO_BENCH_TARGETS ${name})
endfunction()
