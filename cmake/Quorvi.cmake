# Helpers shared by every folder's CMakeLists.

# A library of pure code: no OS call, never includes <windows.h>. It is built
# for Windows and natively (sanitizers), and its files are checked for Windows
# includes by the core test.
function(quorvi_core_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
  foreach(src ${A_SOURCES})
    get_filename_component(abs ${src} ABSOLUTE)
    set_property(GLOBAL APPEND PROPERTY QUORVI_CORE_FILES ${abs})
  endforeach()
endfunction()

# Tests of the pure core: natively under ASan/UBSan (label core), and the same
# cases under Wine against the mingw build (label unit).
function(quorvi_core_test name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;DATA" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main)
  if(QUORVI_WINDOWS)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS unit FIXTURES_REQUIRED wine)
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS core)
  endif()
endfunction()

# A Windows test executable run under Wine. GUI tests share the display.
function(quorvi_wine_test name)
  cmake_parse_arguments(A "GUI" "LABEL" "SOURCES;LIBS;ARGS;FIXTURES" ${ARGN})
  if(NOT QUORVI_WINDOWS)
    return()
  endif()
  if(NOT A_LABEL)
    set(A_LABEL unit)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} ${A_ARGS})
  set_tests_properties(${name} PROPERTIES LABELS ${A_LABEL} FIXTURES_REQUIRED "wine;${A_FIXTURES}")
  if(A_GUI)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK display)
  endif()
endfunction()

# A Linux-side test script (Python) that drives Windows tools through the Wine wrapper.
function(quorvi_script_test name)
  cmake_parse_arguments(A "GUI" "LABEL;SCRIPT" "ARGS;FIXTURES;DEPENDS" ${ARGN})
  if(NOT QUORVI_WINDOWS)
    return()
  endif()
  add_test(NAME ${name} COMMAND python3 ${A_SCRIPT} ${A_ARGS})
  set_tests_properties(${name} PROPERTIES LABELS ${A_LABEL} FIXTURES_REQUIRED "wine;${A_FIXTURES}"
    ENVIRONMENT "QUORVI_BUILD=${CMAKE_BINARY_DIR};QUORVI_WINE=${QUORVI_WINE_WRAPPER};QUORVI_SOURCE=${CMAKE_SOURCE_DIR}")
  if(A_GUI)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK display)
  endif()
endfunction()

function(quorvi_write_core_list)
  get_property(files GLOBAL PROPERTY QUORVI_CORE_FILES)
  list(JOIN files "\n" text)
  file(WRITE ${CMAKE_BINARY_DIR}/core_files.txt "${text}\n")
  if(NOT QUORVI_WINDOWS)
    add_test(NAME core_no_windows_h COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-core.sh ${CMAKE_BINARY_DIR}/core_files.txt)
    set_tests_properties(core_no_windows_h PROPERTIES LABELS core)
  endif()
endfunction()
