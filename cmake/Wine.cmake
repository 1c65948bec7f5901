# Windows test executables run under Wine through a generated wrapper with its
# own prefix inside the build tree.
find_program(QUORVI_LOCALEDEF localedef REQUIRED)
set(locale_dir ${CMAKE_BINARY_DIR}/locale)
if(NOT EXISTS ${locale_dir}/zh_CN.UTF-8)
  # without a UTF-8 locale Wine's file names fall back to ASCII and every Chinese path fails
  file(MAKE_DIRECTORY ${locale_dir})
  execute_process(COMMAND ${QUORVI_LOCALEDEF} -i zh_CN -f UTF-8 ${locale_dir}/zh_CN.UTF-8
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
endif()
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(QUORVI_WINE_LOADER /usr/lib/wine/wine64)
  set(QUORVI_WINE_ARCH win64)
else()
  set(QUORVI_WINE_LOADER /usr/lib/wine/wine)
  set(QUORVI_WINE_ARCH win32)
endif()
set(QUORVI_DISPLAY_NUMBER 97 CACHE STRING "Xvfb display the tests use")
set(QUORVI_WINE_WRAPPER ${CMAKE_BINARY_DIR}/wine-run)
configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.in ${QUORVI_WINE_WRAPPER} @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVI_WINE_WRAPPER})

# wineserver and Xvfb live for the whole run and are stopped at its end
add_test(NAME wine_start COMMAND ${QUORVI_WINE_WRAPPER} --start)
add_test(NAME wine_stop COMMAND ${QUORVI_WINE_WRAPPER} --stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine LABELS "unit;integration;e2e")
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine LABELS "unit;integration;e2e")
