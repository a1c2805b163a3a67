# Cross build for 64-bit Windows with Debian's mingw-w64 (x86_64), for the Wine tests on
# machines that cannot run 32-bit programs; the product stays the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_toolchain.cmake)
