# The application manifest of each Windows program, made from one template. Every program runs
# as the invoking user (asInvoker) and names the systems it supports: without a manifest, Vista
# and later run a program as a legacy process under UAC virtualization, which may redirect a
# refused write to a machine store instead of letting it fail.
enable_language(RC)

set(DIGITAL_ID_MANIFEST_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/windows-app.manifest.in)

# digital_id_add_manifest(TARGET NAME DESCRIPTION [COMMON_CONTROLS])
# Embeds the manifest in TARGET as its process manifest (resource 1 of type 24).
# COMMON_CONTROLS adds the dependency on version 6 of the common controls (visual styles), which
# only a window program needs.
function(digital_id_add_manifest target name description)
  cmake_parse_arguments(PARSE_ARGV 3 MANIFEST "COMMON_CONTROLS" "" "")
  set(MANIFEST_NAME ${name})
  set(MANIFEST_DESCRIPTION ${description})
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "64")
    set(MANIFEST_ARCHITECTURE amd64)
  else()
    set(MANIFEST_ARCHITECTURE x86)
  endif()
  set(MANIFEST_DEPENDENCIES "")
  if(MANIFEST_COMMON_CONTROLS)
    string(CONCAT MANIFEST_DEPENDENCIES
      "  <dependency>\n"
      "    <dependentAssembly>\n"
      "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
      "version=\"6.0.0.0\"\n"
      "                        processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" "
      "language=\"*\"/>\n"
      "    </dependentAssembly>\n"
      "  </dependency>\n")
  endif()
  set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${DIGITAL_ID_MANIFEST_TEMPLATE} ${manifest} @ONLY)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest.rc)
  file(WRITE ${script} "1 24 \"${manifest}\"\n")
  set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS ${manifest})
  target_sources(${target} PRIVATE ${script})
endfunction()
