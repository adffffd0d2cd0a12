# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (package
# g++-mingw-w64-x86-64). The -posix compilers use the POSIX thread model, so std::thread and
# std::mutex work. Programs are linked statically: they need no DLL beside them.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Tests run through Wine (CMAKE_CROSSCOMPILING_EMULATOR) when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILNA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILNA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILNA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILNA_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILNA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(QUILNA_WINE NAMES wine wine64)
if(QUILNA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILNA_WINE})
endif()
