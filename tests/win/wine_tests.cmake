# The Windows tests as CTest runs them under Wine (the wine32 and wine64 presets set the Wine
# loader as CMAKE_CROSSCOMPILING_EMULATOR). The fixture "wine" makes a throwaway prefix, registers
# the enrollment stand-in in it and starts the test issuing servers; the tests run one after the
# other in the order below, since they share the prefix's stores. Run under an X server of its
# own (scripts/test-wine uses xvfb-run).
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()
set(DIGITAL_ID_WINEARCH win32 CACHE STRING "The Wine prefix architecture: win32 or win64")
set(DIGITAL_ID_TEST_SERVER ${PROJECT_SOURCE_DIR}/build/linux/tools/test-server/digital-id-test-server
    CACHE FILEPATH "The Linux test issuing server the Wine tests run against")
set(DIGITAL_ID_WINE_SHIPPED ${PROJECT_SOURCE_DIR}/build/win32
    CACHE PATH "The release build of the win32 preset, run in the 32-bit mode")

set(fixture ${CMAKE_BINARY_DIR}/wine-fixture)
# A Unix path as Wine names it (the Z: drive is the Unix root).
string(REPLACE "/" "\\" windows_fixture "Z:${fixture}")
set(wine_environment
    WINEPREFIX=${fixture}/prefix WINEARCH=${DIGITAL_ID_WINEARCH} WINEDEBUG=-all
    WINELOADER=${CMAKE_CROSSCOMPILING_EMULATOR} DIGITAL_ID_WINE_FIXTURE=${windows_fixture}
    # BSTRs bypass the COM allocator, and so the stand-in's checking one, while Wine's string
    # cache is on.
    OANOCACHE=1 "DIGITAL_ID_STAND_IN_REPORT=${windows_fixture}\\stand-in-report.txt")
set(shipped "")
if(DIGITAL_ID_WINEARCH STREQUAL "win32")
  set(shipped ${DIGITAL_ID_WINE_SHIPPED})
endif()
set(script ${CMAKE_CURRENT_SOURCE_DIR}/wine-fixture)
set(script_environment ${wine_environment} WINE=${CMAKE_CROSSCOMPILING_EMULATOR}
    DIGITAL_ID_TEST_SERVER=${DIGITAL_ID_TEST_SERVER} DIGITAL_ID_WINE_FIXTURE_DIR=${fixture}
    DIGITAL_ID_WINE_BUILD=${CMAKE_BINARY_DIR} DIGITAL_ID_WINE_SHIPPED_DIR=${shipped})

add_test(NAME wine_setup COMMAND bash ${script} setup)
add_test(NAME wine_unit_tests COMMAND unit_tests --gtest_brief=1)
add_test(NAME wine_console_scenarios COMMAND win_console_scenarios --gtest_brief=1)
add_test(NAME wine_client_certificate
         COMMAND win_backend_tests --gtest_brief=1 --gtest_filter=InstalledCertificate.*)
# After the console runs: these leave the test server's anchors in the stores, and the first
# console run checks that the anchors get installed.
add_test(NAME wine_backend_tests COMMAND win_backend_tests --gtest_brief=1
         --gtest_filter=-CryptoApiStoreNextProcess.*:InstalledCertificate.*)
# A second process sees what the first committed to the stores.
add_test(NAME wine_backend_next_process
         COMMAND win_backend_tests --gtest_brief=1 --gtest_filter=CryptoApiStoreNextProcess.*)
add_test(NAME wine_checks_and_screenshots COMMAND bash ${script} check)
add_test(NAME wine_cleanup COMMAND bash ${script} cleanup)

set(order wine_unit_tests wine_console_scenarios wine_client_certificate wine_backend_tests
    wine_backend_next_process wine_checks_and_screenshots)
set(previous "")
foreach(test IN LISTS order)
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine LABELS wine
                       ENVIRONMENT "${wine_environment}" DEPENDS "${previous}")
  set(previous ${test})
endforeach()
set_tests_properties(wine_setup PROPERTIES FIXTURES_SETUP wine LABELS wine
                     ENVIRONMENT "${script_environment}")
set_tests_properties(wine_cleanup PROPERTIES FIXTURES_CLEANUP wine LABELS wine
                     ENVIRONMENT "${script_environment}")
set_tests_properties(wine_checks_and_screenshots PROPERTIES ENVIRONMENT "${script_environment}")
