# The pure core is also built natively and its tests run under ASan/UBSan.
# One ctest entry (label core) runs that build's own tests.
include(ExternalProject)
ExternalProject_Add(native_core
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/native
  CMAKE_ARGS -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD ON)
add_test(NAME core COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${CMAKE_BINARY_DIR}/native --output-on-failure)
set_tests_properties(core PROPERTIES LABELS core)
