# Debian's hardening flags for everything the Linux build compiles and links (the programs, the
# static libraries in them, and with them the tests that exercise the same objects): fortified
# libc calls, the strong stack protector, stack clash protection, control-flow protection (CET),
# full RELRO with immediate binding, and position-independent executables.
#
# The flags are Debian's own: dpkg-buildflags with DEB_BUILD_MAINT_OPTIONS=hardening=+all, read
# at configure time, without its -g, -O and prefix-map flags (the build type owns those). Where
# dpkg-buildflags is missing, or its version predates a flag, the flag is added here. PIE is the
# default of Debian's compiler, as dpkg-buildflags itself assumes; hardening-check confirms it in
# scripts/test-package.
#
# Left out where the flags cannot work: builds without optimisation (_FORTIFY_SOURCE needs it,
# and its warning would be an error), the sanitizer builds and the fuzz build.
include(CheckCXXCompilerFlag)

option(DIGITAL_ID_HARDENING "Build the Linux programs with Debian's hardening flags" ON)
string(TOUPPER "${CMAKE_BUILD_TYPE}" _digital_id_build_type)
if(NOT DIGITAL_ID_HARDENING OR DIGITAL_ID_SANITIZE OR DIGITAL_ID_FUZZ
   OR NOT _digital_id_build_type MATCHES "^(RELEASE|RELWITHDEBINFO|MINSIZEREL)$")
  message(STATUS "Hardening flags: not used in this build")
  return()
endif()

# One set of dpkg-buildflags as a list; empty when the program is missing.
function(digital_id_dpkg_buildflags set out)
  set(flags "")
  find_program(DIGITAL_ID_DPKG_BUILDFLAGS dpkg-buildflags)
  if(DIGITAL_ID_DPKG_BUILDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${DIGITAL_ID_DPKG_BUILDFLAGS} --get ${set}
      OUTPUT_VARIABLE text OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
    if(result EQUAL 0)
      separate_arguments(flags UNIX_COMMAND "${text}")
      list(FILTER flags EXCLUDE REGEX "^(-g.*|-O.*|-f(file|debug|macro)-prefix-map=.*)$")
    endif()
  endif()
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

digital_id_dpkg_buildflags(CPPFLAGS _digital_id_cppflags)
digital_id_dpkg_buildflags(CXXFLAGS _digital_id_cxxflags)
digital_id_dpkg_buildflags(LDFLAGS _digital_id_ldflags)
set(_digital_id_compile_flags ${_digital_id_cppflags} ${_digital_id_cxxflags})

# What hardening=+all stands for, added when this dpkg-buildflags did not give it.
foreach(flag IN ITEMS -D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection
                      -fcf-protection)
  string(REGEX REPLACE "=.*" "" stem "${flag}")
  set(present FALSE)
  foreach(given IN LISTS _digital_id_compile_flags)
    if(given MATCHES "^${stem}(=|$)")
      set(present TRUE)
    endif()
  endforeach()
  if(NOT present AND flag MATCHES "^-D")
    list(APPEND _digital_id_compile_flags ${flag})
  elseif(NOT present)
    string(MAKE_C_IDENTIFIER "DIGITAL_ID_HAS${flag}" check)
    check_cxx_compiler_flag(${flag} ${check})
    if(${check})
      list(APPEND _digital_id_compile_flags ${flag})
    endif()
  endif()
endforeach()
foreach(flag IN ITEMS -Wl,-z,relro -Wl,-z,now)
  if(NOT flag IN_LIST _digital_id_ldflags)
    list(APPEND _digital_id_ldflags ${flag})
  endif()
endforeach()

add_compile_options(${_digital_id_compile_flags})
add_link_options(${_digital_id_ldflags})
list(JOIN _digital_id_compile_flags " " _digital_id_shown)
list(JOIN _digital_id_ldflags " " _digital_id_shown_links)
message(STATUS "Hardening flags: ${_digital_id_shown} ${_digital_id_shown_links}")
