# What both mingw-w64 cross builds share; the toolchain file that includes it sets
# CMAKE_SYSTEM_PROCESSOR (i686 or x86_64), which names Debian's compilers and their root. The
# thread model of the compilers (win32 for the programs, posix with the tests) is chosen in
# mingw_thread_model.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(DIGITAL_ID_MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw_thread_model.cmake)
set(CMAKE_C_COMPILER ${DIGITAL_ID_MINGW_TRIPLET}-gcc-${DIGITAL_ID_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${DIGITAL_ID_MINGW_TRIPLET}-g++-${DIGITAL_ID_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${DIGITAL_ID_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DIGITAL_ID_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# A bare Windows has no mingw runtime DLLs: link the runtime statically. The programs are marked
# for address space layout randomisation (DYNAMICBASE, with their relocations kept) and for data
# execution prevention (NXCOMPAT), whatever the linker's default; scripts/check-imports checks
# both marks.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static -static-libgcc -static-libstdc++ -Wl,--dynamicbase -Wl,--nxcompat")
