# The web page: zavit compiled to WebAssembly on Emscripten's SDL 1.2 emulation, with the page's
# own HTML, CSS and JavaScript beside it in site/, the folder a static server serves.
set(ZAVIT_SITE ${PROJECT_BINARY_DIR}/site)
set(ZAVIT_PAGE_FILES index.html zavit.css page.js)
set(ZAVIT_HEAP_BYTES 8388608)     # the wasm memory at start: the program's own, its stack too
# As far as the memory may grow, for a person's own image: 256 MiB leaves it 248, a surface of
# 65 million pixels, more than a 24-megapixel photo or an 8K screen needs.
set(ZAVIT_MEMORY_MAX_BYTES 268435456)
set(ZAVIT_ASYNC_STACK_BYTES 16384) # room to save the call stack across each pause

# The installed image, as bytes compiled into the program.
file(READ assets/zavit.bmp sprite_hex HEX)
string(REGEX REPLACE "(..)" "0x\\1," sprite_bytes "${sprite_hex}")
file(WRITE ${PROJECT_BINARY_DIR}/generated/built_in_sprite.h
     "// The installed image's bytes, from assets/zavit.bmp.\n"
     "const unsigned char BUILT_IN_SPRITE_BYTES[] = {${sprite_bytes}};\n")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS assets/zavit.bmp)
target_include_directories(zavit PRIVATE ${PROJECT_BINARY_DIR}/generated)
target_compile_definitions(zavit PRIVATE ZAVIT_MEMORY_START=${ZAVIT_HEAP_BYTES}
                                         ZAVIT_MEMORY_MAX=${ZAVIT_MEMORY_MAX_BYTES})

target_sources(zavit PRIVATE app/question/web.cpp app/presentation/web.cpp
                             app/installed/web.cpp app/sdl/web.cpp)
set_target_properties(zavit PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${ZAVIT_SITE})
# ASYNCIFY lets main's loop pause in SDL_Delay as on the desktop (no pause is reached through a
# function pointer); the runtime exits when main returns, so that the page learns the status.
# Emscripten 4.0.23 and later make SDL_Delay a bare alias of emscripten_sleep that is no longer
# listed as pausing, so its callers ran on mid-pause ("invalid state: 1"): it is listed here.
# The page hands the program its files itself: no file system. The smaller malloc suits a
# program that allocates a handful of blocks. The memory grows only for a big image; a malloc
# past its most returns NULL, which the image's loading refuses, rather than ending the page.
target_link_options(zavit PRIVATE -Oz -sMALLOC=emmalloc -sASYNCIFY -sASYNCIFY_IMPORTS=SDL_Delay
  -sASYNCIFY_IGNORE_INDIRECT=1 -sASYNCIFY_STACK_SIZE=${ZAVIT_ASYNC_STACK_BYTES}
  -sEXIT_RUNTIME=1 -sINITIAL_MEMORY=${ZAVIT_HEAP_BYTES} -sALLOW_MEMORY_GROWTH=1
  -sMAXIMUM_MEMORY=${ZAVIT_MEMORY_MAX_BYTES} -sENVIRONMENT=web -sFILESYSTEM=0)

foreach(page_file ${ZAVIT_PAGE_FILES})
  configure_file(web/${page_file} ${ZAVIT_SITE}/${page_file} COPYONLY)
endforeach()

# The tab's icon, a file of the site's own: a strict host's policy refuses data: URLs.
set(ZAVIT_PAGE_ICON zavit.png)
configure_file(assets/zavit-48.png ${ZAVIT_SITE}/${ZAVIT_PAGE_ICON} COPYONLY)
