# The web page's zip: site/'s files in one folder, with the times of SOURCE_DATE_EPOCH and
# normalised by strip-nondeterminism, so that any build of the same source gives the same bytes.
set(ZAVIT_WEB_NAME zavit-${PROJECT_VERSION}-web)
set(ZAVIT_WEB_ZIP ${PROJECT_BINARY_DIR}/${ZAVIT_WEB_NAME}.zip)
set(ZAVIT_WEB_FILES ${ZAVIT_PAGE_FILES} zavit.js zavit.wasm)
list(SORT ZAVIT_WEB_FILES)
list(TRANSFORM ZAVIT_WEB_FILES PREPEND ${ZAVIT_WEB_NAME}/ OUTPUT_VARIABLE members)
find_program(ZAVIT_STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
execute_process(COMMAND date -u -d @${ZAVIT_SOURCE_DATE_EPOCH} "+%Y-%m-%d %H:%M:%S UTC"
                OUTPUT_VARIABLE zip_time OUTPUT_STRIP_TRAILING_WHITESPACE)

add_custom_command(OUTPUT ${ZAVIT_WEB_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZAVIT_WEB_NAME}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${ZAVIT_SITE} ${ZAVIT_WEB_NAME}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZAVIT_WEB_ZIP} --format=zip "--mtime=${zip_time}"
          ${members}
  COMMAND ${ZAVIT_STRIP_NONDETERMINISM} --type zip --timestamp ${ZAVIT_SOURCE_DATE_EPOCH}
          ${ZAVIT_WEB_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZAVIT_WEB_NAME}
  DEPENDS zavit ${ZAVIT_SITE}/index.html ${ZAVIT_SITE}/zavit.css ${ZAVIT_SITE}/page.js
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
add_custom_target(web_zip ALL DEPENDS ${ZAVIT_WEB_ZIP})
