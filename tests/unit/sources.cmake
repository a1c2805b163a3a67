# The core's unit tests over the fakes, and the Windows TLS session's handshake loop and record
# handling over a scripted package (tests/support); built for Linux (tests/) and for Wine
# (tests/win/).
set(DIGITAL_ID_UNIT_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/anchor_check_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/anchor_download_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/channel_close_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/channel_connection_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/channel_handshake_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/channel_issuer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/channel_messages_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_expiry_notice_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/enrollment_run_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/identity_status_text_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/issuance_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/network_phase_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/secure_code_length_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sspi_handshake_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sspi_records_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/threaded_enrollment_test.cpp)
