# Cross-compiling for Windows with Debian's mingw-w64. The including toolchain
# file sets CORVO_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR. The posix threading
# model's compilers come first, so that std::thread and thread_local work.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES ${CORVO_MINGW_TRIPLE}-gcc-posix ${CORVO_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${CORVO_MINGW_TRIPLE}-g++-posix ${CORVO_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${CORVO_MINGW_TRIPLE}-windres)

# Target libraries and headers from the mingw sysroot only; host programs
# (wine, the interface generator's compiler) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${CORVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Nothing but Windows' own DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
