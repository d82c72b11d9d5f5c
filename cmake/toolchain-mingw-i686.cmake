# Cross-compiles for i686 Windows with mingw-w64; the runtime is linked statically so the
# programs need no DLL beside them.
#
# OSTREY_THREAD_MODEL picks the compiler's thread model. The shipped programs use win32: the
# posix model's runtime imports functions Windows XP lacks (its loader would refuse the
# programs), and the shipped code uses the system's threads and locks directly anyway. The test
# tree may use posix for std::thread in test code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)

set(OSTREY_THREAD_MODEL win32 CACHE STRING "Thread model of the mingw-w64 compiler (win32 or posix)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OSTREY_THREAD_MODEL)

set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-${OSTREY_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-${OSTREY_THREAD_MODEL})
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
