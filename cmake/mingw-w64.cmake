# Cross-builds Quillon for Windows x64 on Debian with mingw-w64 (posix thread model).
# Use with -DCMAKE_PREFIX_PATH naming the Windows Qt and QuaZip (scripts/build-windows does it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLON_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLON_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLON_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLON_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLON_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Test executables run through Wine, so CTest works unchanged on the cross build.
find_program(QUILLON_WINE NAMES wine)
if(QUILLON_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLON_WINE})
endif()
