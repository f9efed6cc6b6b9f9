# The web page's zip: site/'s files at its root, where game portals look for index.html, with
# the times of SOURCE_DATE_EPOCH and normalised by strip-nondeterminism, so that any build of
# the same source gives the same bytes.
set(ZAVIT_WEB_NAME zavit-${PROJECT_VERSION}-web)
set(ZAVIT_WEB_ZIP ${PROJECT_BINARY_DIR}/${ZAVIT_WEB_NAME}.zip)
set(ZAVIT_WEB_FILES ${ZAVIT_PAGE_FILES} ${ZAVIT_PAGE_ICON} zavit.js zavit.wasm)
list(SORT ZAVIT_WEB_FILES)
list(TRANSFORM ZAVIT_WEB_FILES PREPEND ${ZAVIT_SITE}/ OUTPUT_VARIABLE site_files)
find_program(ZAVIT_STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
execute_process(COMMAND date -u -d @${ZAVIT_SOURCE_DATE_EPOCH} "+%Y-%m-%d %H:%M:%S UTC"
                OUTPUT_VARIABLE zip_time OUTPUT_STRIP_TRAILING_WHITESPACE)

add_custom_command(OUTPUT ${ZAVIT_WEB_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${ZAVIT_WEB_ZIP}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZAVIT_WEB_ZIP} --format=zip "--mtime=${zip_time}"
          ${ZAVIT_WEB_FILES}
  COMMAND ${ZAVIT_STRIP_NONDETERMINISM} --type zip --timestamp ${ZAVIT_SOURCE_DATE_EPOCH}
          ${ZAVIT_WEB_ZIP}
  DEPENDS zavit ${site_files}
  WORKING_DIRECTORY ${ZAVIT_SITE} VERBATIM)
add_custom_target(web_zip ALL DEPENDS ${ZAVIT_WEB_ZIP})
