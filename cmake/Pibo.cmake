# Helpers shared by every folder of the project.

set(PIBO_WARNINGS -Wall -Wextra -Wpedantic -Wno-unused-parameter)

# The Qt headers every widget-level library leans on; compiled once per target.
set(PIBO_QT_PCH
  <QtCore/QString>
  <QtCore/QByteArray>
  <QtCore/QList>
  <QtCore/QObject>
  <QtGui/QPainter>
  <QtGui/QImage>
  <QtWidgets/QWidget>)

# pibo_library(<name> SOURCES ... LINKS ... [NO_PCH])
function(pibo_library name)
  cmake_parse_arguments(ARG "NO_PCH" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${PIBO_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  if(NOT ARG_NO_PCH)
    target_precompile_headers(${name} PRIVATE ${PIBO_QT_PCH})
  endif()
endfunction()

# pibo_program(<name> SOURCES ... LINKS ...)
function(pibo_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${PIBO_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
endfunction()

# pibo_test(<name> SOURCES ... LINKS ...): a GoogleTest executable whose cases run
# under CTest with Qt in offscreen mode.
function(pibo_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
  target_compile_options(${name} PRIVATE ${PIBO_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} pibo_test_support GTest::gtest)
  target_precompile_headers(${name} PRIVATE ${PIBO_QT_PCH} <gtest/gtest.h>)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PIBO_PROGRAM_FOLDER=${PIBO_PROGRAM_FOLDER}"
               TIMEOUT 120)
endfunction()

# pibo_bench(<name> SOURCES ... LINKS ...): a Google Benchmark program, built
# into bench-bin/ of the build tree (not into the program folder); CTest does
# not run it.
function(pibo_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench-bin)
  target_compile_options(${name} PRIVATE ${PIBO_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} pibo_bench_support)
endfunction()
