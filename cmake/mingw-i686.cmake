# 32-bit Windows, the product.
set(QUORVI_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
