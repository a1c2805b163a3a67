# Cross build for 32-bit Windows with Debian's mingw-w64 (i686): the product.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_toolchain.cmake)
