# Toolchain for 64-bit Windows with Debian's MinGW-w64 cross compilers, against the SDL 1.2
# that `tools/sdl-classic windows` installs:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DZAVIT_SDL_PREFIX=<its prefix> ...
# pkg-config is the build machine's, made to read Windows .pc files only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZAVIT_MINGW_HOST x86_64-w64-mingw32)            # the tools' target triplet
set(ZAVIT_MINGW_SYSROOT /usr/${ZAVIT_MINGW_HOST})   # MinGW-w64 headers and libraries
set(ZAVIT_SDL_PREFIX "" CACHE PATH "Install prefix of SDL 1.2 built for Windows")
# try_compile projects get the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZAVIT_SDL_PREFIX)

# The win32 thread model: no libwinpthread DLL to ship.
set(CMAKE_C_COMPILER ${ZAVIT_MINGW_HOST}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ZAVIT_MINGW_HOST}-g++-win32)
set(CMAKE_RC_COMPILER ${ZAVIT_MINGW_HOST}-windres)

# The compiler's own runtime goes inside each program, so only SDL.dll sits beside it.
set(ZAVIT_MINGW_RUNTIME_FLAGS "-static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${ZAVIT_MINGW_RUNTIME_FLAGS})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${ZAVIT_MINGW_RUNTIME_FLAGS})

# Headers, libraries and packages from the Windows side only; programs from the build machine.
# The SDL prefix is a root too, so the absolute paths in its sdl.pc are used as they are.
set(CMAKE_FIND_ROOT_PATH ${ZAVIT_MINGW_SYSROOT} ${ZAVIT_SDL_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads Windows .pc files only: the SDL prefix's and the sysroot's, never the
# build machine's.
set(ZAVIT_PKG_CONFIG_DIRS ${ZAVIT_MINGW_SYSROOT}/lib/pkgconfig)
if(ZAVIT_SDL_PREFIX)
  list(INSERT ZAVIT_PKG_CONFIG_DIRS 0 ${ZAVIT_SDL_PREFIX}/lib/pkgconfig)
endif()
string(REPLACE ";" ":" ZAVIT_PKG_CONFIG_DIRS "${ZAVIT_PKG_CONFIG_DIRS}")
set(ENV{PKG_CONFIG_LIBDIR} "${ZAVIT_PKG_CONFIG_DIRS}")
unset(ENV{PKG_CONFIG_PATH})
unset(ENV{PKG_CONFIG_SYSROOT_DIR})
