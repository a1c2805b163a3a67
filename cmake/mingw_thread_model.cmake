# The thread model of Debian's mingw-w64 compilers for a Windows cross build, shared by the
# toolchain files: sets DIGITAL_ID_MINGW_THREADS to win32 or posix.
#
# The Windows programs must load on Windows XP SP3. The runtime of the POSIX model (libstdc++'s
# exception allocator and static-local guards, libgcc's unwinder and emulated TLS) is built on
# winpthreads, which imports GetTickCount64 (Windows Vista and later), even when the code starts
# no std::thread. The win32 model's runtime calls Win32 directly, so a product build uses it; the
# programs' own threads, timed waits and locks go through the platform layer (CreateThread,
# WaitForSingleObject, critical sections), since GCC 12's win32 model has no std::thread or
# std::mutex. The tests use std::thread, so a build with tests (DIGITAL_ID_BUILD_TESTS not OFF)
# uses the POSIX model. -DDIGITAL_ID_MINGW_THREADS=win32|posix overrides the choice.
if(NOT DIGITAL_ID_MINGW_THREADS)
  if(DEFINED DIGITAL_ID_BUILD_TESTS AND NOT DIGITAL_ID_BUILD_TESTS)
    set(DIGITAL_ID_MINGW_THREADS win32)
  else()
    set(DIGITAL_ID_MINGW_THREADS posix)
  endif()
endif()
if(NOT DIGITAL_ID_MINGW_THREADS MATCHES "^(win32|posix)$")
  message(FATAL_ERROR "DIGITAL_ID_MINGW_THREADS must be win32 or posix")
endif()
# The compiler checks (try_compile) see the same choice.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DIGITAL_ID_MINGW_THREADS)
