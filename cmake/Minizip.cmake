# minizip's unzip interface, compiled from Debian's zlib source package that
# scripts/setup.sh fetches (pinned version). Traditional encryption stays on:
# the reader checks passwords.
set(QUORVI_ZLIB_SOURCE ${CMAKE_SOURCE_DIR}/third_party/zlib-1.2.13.dfsg CACHE PATH "zlib source tree with contrib/minizip")
set(minizip_dir ${QUORVI_ZLIB_SOURCE}/contrib/minizip)
if(NOT EXISTS ${minizip_dir}/unzip.c)
  message(FATAL_ERROR "minizip source not found in ${minizip_dir}; run scripts/setup.sh")
endif()

# unzip.c switches decryption off unconditionally, and without it an encrypted
# entry is inflated as if it were plain. The build tree gets a copy with that
# switch removed, and with the 12-byte encryption header counted off the
# compressed size so a stored entry does not read into the next header.
file(READ ${minizip_dir}/unzip.c unzip_source)
set(unzip_original "${unzip_source}")
string(REPLACE "#ifndef NOUNCRYPT\n        #define NOUNCRYPT\n#endif" "" unzip_source "${unzip_source}")
string(REPLACE "s->pfile_in_zip_read->pos_in_zipfile+=12;"
  "s->pfile_in_zip_read->pos_in_zipfile+=12;\n        s->pfile_in_zip_read->rest_read_compressed-=12;"
  unzip_source "${unzip_source}")
if(unzip_source STREQUAL unzip_original)
  message(FATAL_ERROR "minizip's unzip.c is not the pinned version")
endif()
set(unzip_copy ${CMAKE_BINARY_DIR}/minizip/unzip.c)
file(WRITE ${unzip_copy}.new "${unzip_source}")
file(COPY_FILE ${unzip_copy}.new ${unzip_copy} ONLY_IF_DIFFERENT)
add_library(minizip STATIC ${unzip_copy} ${minizip_dir}/ioapi.c ${minizip_dir}/iowin32.c)
target_include_directories(minizip SYSTEM PUBLIC ${minizip_dir})
target_include_directories(minizip PRIVATE ${minizip_dir})
target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
target_compile_options(minizip PRIVATE -w)
