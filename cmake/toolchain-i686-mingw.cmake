# Cross build of the 32-bit Windows program with Debian's mingw-w64 (g++-mingw-w64-i686).
# Everything is linked statically, so tolv.exe needs nothing beyond Windows' own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TOLVANE_MINGW_PREFIX i686-w64-mingw32)
# Debian ships two thread models; the posix one is what the plain name points to, but
# ask for it explicitly where it exists so that builds do not depend on alternatives.
find_program(CMAKE_CXX_COMPILER NAMES ${TOLVANE_MINGW_PREFIX}-g++-posix ${TOLVANE_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${TOLVANE_MINGW_PREFIX}-gcc-posix ${TOLVANE_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${TOLVANE_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run the cross-built programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
