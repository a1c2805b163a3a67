# The Linux window over Qt 6 Widgets: digital-id-installer, its icon and desktop entry, the
# window demo driver and the window tests. Without Qt 6 everything else still builds.
find_package(Qt6 QUIET COMPONENTS Widgets Test)
if(NOT Qt6_FOUND)
  message(STATUS "Qt 6 Widgets not found: digital-id-installer is not built")
  return()
endif()

set(DIGITAL_ID_QT_SHELL ${CMAKE_CURRENT_SOURCE_DIR}/shell)

# The window system and widgets of the window, shared by the program, the demo and the tests.
add_library(digital_id_qt STATIC
  ${DIGITAL_ID_QT_SHELL}/qt_window_system_qt.h ${DIGITAL_ID_QT_SHELL}/qt_window_system_qt.cpp
  ${DIGITAL_ID_QT_SHELL}/main_window_qt.cpp ${DIGITAL_ID_QT_SHELL}/line_label_qt.h ${DIGITAL_ID_QT_SHELL}/line_label_qt.cpp
  ${DIGITAL_ID_QT_SHELL}/control_font_qt.cpp ${DIGITAL_ID_QT_SHELL}/app_icon_qt.cpp)
set_target_properties(digital_id_qt PROPERTIES AUTOMOC ON)
target_link_libraries(digital_id_qt PUBLIC digital_id_core Qt6::Widgets PRIVATE digital_id_warnings)

add_executable(digital-id-installer ${DIGITAL_ID_QT_SHELL}/main_linux.cpp)
target_link_libraries(digital-id-installer PRIVATE digital_id_qt digital_id_linux
                      digital_id_warnings)

add_executable(digital-id-window-demo
               ${CMAKE_CURRENT_SOURCE_DIR}/tools/window-demo/window_demo_qt.cpp)
target_link_libraries(digital-id-window-demo PRIVATE digital_id_qt digital_id_linux
                      digital_id_warnings)

# The icon is drawn by the same code as the window's icon, at build time.
add_executable(digital-id-make-icons
               ${CMAKE_CURRENT_SOURCE_DIR}/resources/linux/make_icons_qt.cpp)
target_link_libraries(digital-id-make-icons PRIVATE digital_id_qt digital_id_warnings)
set(DIGITAL_ID_ICON_SIZES 48 256)
set(DIGITAL_ID_ICON_FOLDER ${CMAKE_CURRENT_BINARY_DIR}/icons)
set(DIGITAL_ID_ICON_FILES)
foreach(size IN LISTS DIGITAL_ID_ICON_SIZES)
  list(APPEND DIGITAL_ID_ICON_FILES ${DIGITAL_ID_ICON_FOLDER}/${size}x${size}/digital-id-installer.png)
endforeach()
add_custom_command(OUTPUT ${DIGITAL_ID_ICON_FILES}
  COMMAND digital-id-make-icons ${DIGITAL_ID_ICON_FOLDER} ${DIGITAL_ID_ICON_SIZES}
  DEPENDS digital-id-make-icons
  COMMENT "Drawing the program's icon")
add_custom_target(digital-id-icons ALL DEPENDS ${DIGITAL_ID_ICON_FILES})

include(GNUInstallDirs)
install(TARGETS digital-id-installer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/linux/digital-id-installer.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
foreach(size IN LISTS DIGITAL_ID_ICON_SIZES)
  install(FILES ${DIGITAL_ID_ICON_FOLDER}/${size}x${size}/digital-id-installer.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          COMPONENT desktop)
endforeach()

if(DIGITAL_ID_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/qt)
endif()
