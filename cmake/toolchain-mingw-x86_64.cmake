# Cross build for 64-bit Windows with Debian's mingw-w64 (x86_64), for the Wine tests on
# machines that cannot run 32-bit programs; the product stays the 32-bit build. The thread model
# of the compilers is chosen as for the 32-bit build, in mingw_thread_model.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

include(${CMAKE_CURRENT_LIST_DIR}/mingw_thread_model.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-${DIGITAL_ID_MINGW_THREADS})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-${DIGITAL_ID_MINGW_THREADS})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# A bare Windows has no mingw runtime DLLs: link the runtime statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
