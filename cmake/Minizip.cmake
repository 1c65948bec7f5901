# minizip's unzip interface, compiled from Debian's zlib source package that
# scripts/setup.sh fetches (pinned version). Traditional encryption stays on:
# the reader checks passwords.
set(QUORVI_ZLIB_SOURCE ${CMAKE_SOURCE_DIR}/third_party/zlib-1.2.13.dfsg CACHE PATH "zlib source tree with contrib/minizip")
set(minizip_dir ${QUORVI_ZLIB_SOURCE}/contrib/minizip)
if(NOT EXISTS ${minizip_dir}/unzip.c)
  message(FATAL_ERROR "minizip source not found in ${minizip_dir}; run scripts/setup.sh")
endif()
add_library(minizip STATIC ${minizip_dir}/unzip.c ${minizip_dir}/ioapi.c ${minizip_dir}/iowin32.c)
target_include_directories(minizip SYSTEM PUBLIC ${minizip_dir})
target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
target_compile_options(minizip PRIVATE -w)
