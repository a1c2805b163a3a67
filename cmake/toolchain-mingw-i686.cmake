# Cross build for 32-bit Windows with Debian's mingw-w64 (i686); the thread model of the
# compilers (win32 for the programs, posix with the tests) is chosen in mingw_thread_model.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

include(${CMAKE_CURRENT_LIST_DIR}/mingw_thread_model.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${DIGITAL_ID_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${DIGITAL_ID_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# A bare Windows has no mingw runtime DLLs: link the runtime statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
