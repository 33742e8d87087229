# Cross build for 32-bit Windows with Debian's mingw-w64 (the width of the
# vendor 1-Wire driver library IBFS32.DLL). The posix thread model gives the
# complete C++ standard library; everything is linked statically so that the
# programs and DLLs need nothing beside them, neither on Windows nor under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VINTOK_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${VINTOK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VINTOK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VINTOK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VINTOK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# ctest runs the cross-built test programs through Wine when it is there.
find_program(VINTOK_WINE wine)
if(VINTOK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VINTOK_WINE})
endif()
