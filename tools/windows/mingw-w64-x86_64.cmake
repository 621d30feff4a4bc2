# Cross-compiling Tavex for 64-bit Windows with Debian's mingw-w64 (posix threads).
# The programs link libgcc, libstdc++ and winpthread statically: a user needs
# nothing else installed. The libraries Debian does not ship for mingw (SQLite,
# LibTomCrypt, LibTomMath, GoogleTest) come from the prefix tools/windows/build.sh
# builds in TAVEX_WINDOWS_CACHE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVEX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVEX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVEX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVEX_MINGW}-windres)
set(CMAKE_AR ${TAVEX_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TAVEX_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

if(DEFINED ENV{TAVEX_WINDOWS_CACHE})
  set(TAVEX_WINDOWS_PREFIX $ENV{TAVEX_WINDOWS_CACHE}/prefix)
else()
  set(TAVEX_WINDOWS_PREFIX /var/cache/tavex-windows/prefix)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TAVEX_MINGW} ${TAVEX_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C99 printf of the mingw runtime (%zu, %lld and the same digits as glibc) and
# its localtime_r; 64-bit file offsets.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1 -D_POSIX_THREAD_SAFE_FUNCTIONS -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1 -D_POSIX_THREAD_SAFE_FUNCTIONS -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive")
# Run the cross-built test programs under Wine when CTest asks.
find_program(TAVEX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TAVEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVEX_WINE})
endif()
