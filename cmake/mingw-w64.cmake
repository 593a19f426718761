# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads),
# the runtime linked in statically, and the tests run through Wine.
# CVIMP_WINDOWS_DEPS names the prefix that scripts/windows-deps builds.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CVIMP_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${CVIMP_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CVIMP_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${CVIMP_MINGW}-windres)
set(CMAKE_AR ${CVIMP_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${CVIMP_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

# Passed on to try_compile projects, which read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CVIMP_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${CVIMP_MINGW})
if(CVIMP_WINDOWS_DEPS)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${CVIMP_WINDOWS_DEPS})
  # pkg-config reads only the prefix's own .pc files, never the build machine's.
  set(ENV{PKG_CONFIG_LIBDIR} ${CVIMP_WINDOWS_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable that needs no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run ${CMAKE_BINARY_DIR}/wine)
