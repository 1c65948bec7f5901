# 64-bit Windows: the test build where 32-bit code cannot run.
set(QUORVI_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
