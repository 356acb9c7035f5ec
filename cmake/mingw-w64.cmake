# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (package mingw-w64), POSIX thread
# model. Without Qt the programs are linked statically and need no MinGW DLLs beside them:
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DQUILLMARROW_GUI=OFF -DQUILLMARROW_TESTS=OFF -DQUILLMARROW_BENCH=OFF
# Programs built here that the build runs itself (the sample archive's maker) run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLMARROW_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLMARROW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMARROW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMARROW_MINGW_PREFIX}-windres)

# A Qt for Windows named in CMAKE_PREFIX_PATH is searched too: packages are only looked for
# under these roots.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMARROW_MINGW_PREFIX} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(QUILLMARROW_WINE wine)
if(QUILLMARROW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLMARROW_WINE})
endif()
