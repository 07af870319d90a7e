# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix thread model,
# so that std::thread and GoogleTest's threads are there). The programs are
# linked statically, so they run under Wine, or are copied to a Windows
# machine, without the compiler's DLLs beside them. CTest runs them through
# scripts/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVOR1_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVOR1_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVOR1_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVOR1_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVOR1_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
