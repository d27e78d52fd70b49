# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model: the win32 one has no std::mutex). scripts/build-windows passes
# VANT_WIN_PREFIX, the folder that holds the cross-built libgd, libjpeg, zlib
# and libdeflate.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VANT_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${VANT_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANT_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VANT_MINGW}-windres)
set(CMAKE_AR ${VANT_MINGW}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VANT_MINGW}-ranlib CACHE FILEPATH "")

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VANT_WIN_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${VANT_MINGW} ${VANT_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs are run here under Wine (tests, test discovery).
find_program(VANT_WINE NAMES wine wine64)
if(VANT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANT_WINE})
endif()
