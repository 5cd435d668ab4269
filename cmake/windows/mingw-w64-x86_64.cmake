# Cross-building for 64-bit Windows with Debian's mingw-w64 (GCC 12), the
# programs run under Wine (wine64) wherever CMake or CTest has to start one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARNHOLT_MINGW_TRIPLE x86_64-w64-mingw32)

# The -posix compilers: the default ones use the win32 thread model, whose
# libstdc++ has no std::thread or std::mutex (GoogleTest and our streaming
# thread need both).
set(CMAKE_C_COMPILER ${VARNHOLT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNHOLT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNHOLT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNHOLT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime goes into every program and DLL, so that nothing but the
# system's own DLLs has to be found at run time (no libstdc++-6.dll,
# libgcc_s or libwinpthread-1.dll beside them or in the prefix).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest (and test discovery) start Windows programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
