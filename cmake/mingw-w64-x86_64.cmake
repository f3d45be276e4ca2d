# Cross-building for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64):
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# or simply `make windows`. The program is linked with static libgcc and libstdc++ (and the
# winpthread library that the POSIX-thread flavour of the compiler brings), so that orvalis.exe
# needs no DLL beyond those of Windows itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVALIS_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target prefix of the MinGW-w64 tools")
# The POSIX-thread flavour of the compilers, where installed, has std::thread (the output is then
# written by a thread of its own); the default win32 flavour has not.
find_program(ORVALIS_MINGW_GXX_POSIX ${ORVALIS_MINGW_PREFIX}-g++-posix)
find_program(ORVALIS_MINGW_GCC_POSIX ${ORVALIS_MINGW_PREFIX}-gcc-posix)
if(ORVALIS_MINGW_GXX_POSIX AND ORVALIS_MINGW_GCC_POSIX)
  set(CMAKE_C_COMPILER ${ORVALIS_MINGW_GCC_POSIX})
  set(CMAKE_CXX_COMPILER ${ORVALIS_MINGW_GXX_POSIX})
else()
  set(CMAKE_C_COMPILER ${ORVALIS_MINGW_PREFIX}-gcc)
  set(CMAKE_CXX_COMPILER ${ORVALIS_MINGW_PREFIX}-g++)
endif()
set(CMAKE_RC_COMPILER ${ORVALIS_MINGW_PREFIX}-windres)

# Look for libraries and headers in the target's tree only, programs on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVALIS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
