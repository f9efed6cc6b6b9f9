# Reproducible builds, as Debian makes them: the same source gives the same bytes wherever and
# whenever it is built. Build paths are mapped away from what the compiler writes, and the
# packages carry the time of the newest changelog entry (SOURCE_DATE_EPOCH) for every file,
# unless the environment already names one.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ZAVIT_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  file(STRINGS assets/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)   # " -- who  date"
  string(REGEX REPLACE "^ -- .*>  " "" changed "${trailer}")
  execute_process(COMMAND date -u -d "${changed}" +%s RESULT_VARIABLE failed
                  OUTPUT_VARIABLE ZAVIT_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(failed OR NOT ZAVIT_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "assets/changelog: no date in the newest entry's trailer line")
  endif()
endif()

target_compile_options(zavit_options INTERFACE
  -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)

# CPack's archives take their files' times from SOURCE_DATE_EPOCH.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/cpack-times.cmake
     "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n"
     "  set(ENV{SOURCE_DATE_EPOCH} ${ZAVIT_SOURCE_DATE_EPOCH})\n"
     "endif()\n")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/cpack-times.cmake)

# A Windows program's header carries no link time.
if(WIN32)
  target_link_options(zavit PRIVATE LINKER:--no-insert-timestamp)
endif()
