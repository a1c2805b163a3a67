# The Debian package of the Linux programs, made by CPack from a linux build:
#
#   cmake --preset linux && cmake --build --preset linux && cpack --preset package
#
# gives build/linux/digital-id-installer_<version>-<revision>_<arch>.deb with the window and the
# console program in /usr/bin, the desktop entry and the icons, the expiry reminder's autostart
# entry in /etc/xdg/autostart, the AppStream metadata, a manual page for each program, the
# copyright file and the Debian changelog. The test issuing server,
# the window demo driver, the tests and the benchmarks stay out: the package takes only the
# install components listed in CPACK_COMPONENTS_ALL. Checked by scripts/test-package (lintian,
# appstreamcli, desktop-file-validate, and an install, an enrollment and a removal in a
# throwaway Debian 12 root).
#
# What the checks leave, and why:
# - lintian, warning initial-upload-closes-no-bugs: overridden in packaging/lintian-overrides
#   (the package is not uploaded to Debian, so no bug asks for it).
# - lintian, informational only: binary-has-unneeded-section .comment (CPack strips with plain
#   strip). No hardening-no-* tag may appear: the programs get Debian's hardening flags
#   (cmake/hardening.cmake), and scripts/test-package also runs hardening-check on them.
# - appstreamcli runs with --no-net: the home page and screenshot addresses below are not
#   fetched, as the test machine reaches no web site. Fetched, they fail until the site exists.
if(NOT TARGET digital-id-installer OR NOT TARGET digital-id-enroll)
  message(STATUS "The window is not built: no Debian package")
  return()
endif()

include(GNUInstallDirs)

set(DIGITAL_ID_PACKAGE_NAME digital-id-installer)
set(DIGITAL_ID_PACKAGE_MAINTAINER
    "Digital ID Installer developers <digital-id-installer@example.org>")
# The project's web site, and the AppStream component id made from its domain (reverse order,
# no hyphens, as AppStream wants). The screenshots of docs/ are published under screenshots/
# there; software centres fetch them from that address.
set(DIGITAL_ID_HOMEPAGE "https://digital-id-installer.example.org/")
set(DIGITAL_ID_APPSTREAM_ID "org.example.digital_id_installer")
set(DIGITAL_ID_SCREENSHOT_URL "${DIGITAL_ID_HOMEPAGE}screenshots/")
set(DIGITAL_ID_DEB_REVISION 1)
set(DIGITAL_ID_DEB_VERSION "${PROJECT_VERSION}-${DIGITAL_ID_DEB_REVISION}")

set(DIGITAL_ID_PACKAGING_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(DIGITAL_ID_PACKAGING_BINARY ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(DIGITAL_ID_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/${DIGITAL_ID_PACKAGE_NAME})

# Debian wants manual pages and changelogs compressed with gzip -9, without a time stamp or a
# file name in the header (-n), so that the package is reproducible.
find_program(DIGITAL_ID_GZIP gzip REQUIRED)
configure_file(${DIGITAL_ID_PACKAGING_SOURCE}/changelog.Debian.in
               ${DIGITAL_ID_PACKAGING_BINARY}/changelog.Debian @ONLY)
set(DIGITAL_ID_COMPRESSED_FILES)
foreach(source IN ITEMS ${DIGITAL_ID_PACKAGING_SOURCE}/digital-id-enroll.1
                        ${DIGITAL_ID_PACKAGING_SOURCE}/digital-id-installer.1
                        ${DIGITAL_ID_PACKAGING_BINARY}/changelog.Debian)
  get_filename_component(name ${source} NAME)
  set(compressed ${DIGITAL_ID_PACKAGING_BINARY}/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${DIGITAL_ID_GZIP} -9 -n -c ${source} > ${compressed}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  list(APPEND DIGITAL_ID_COMPRESSED_FILES ${compressed})
endforeach()
add_custom_target(digital-id-package-files ALL DEPENDS ${DIGITAL_ID_COMPRESSED_FILES})

set(DIGITAL_ID_METAINFO ${DIGITAL_ID_PACKAGING_BINARY}/${DIGITAL_ID_APPSTREAM_ID}.metainfo.xml)
configure_file(${DIGITAL_ID_PACKAGING_SOURCE}/metainfo.xml.in ${DIGITAL_ID_METAINFO} @ONLY)

# Manual pages and metadata belong to any installation; the copyright file, the changelog and
# the lintian overrides only to the package (EXCLUDE_FROM_ALL: a plain cmake --install leaves
# them out, CPack asks for the component by name).
install(FILES ${DIGITAL_ID_PACKAGING_BINARY}/digital-id-enroll.1.gz
              ${DIGITAL_ID_PACKAGING_BINARY}/digital-id-installer.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT docs)
install(FILES ${DIGITAL_ID_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        COMPONENT desktop)
install(FILES ${DIGITAL_ID_PACKAGING_SOURCE}/copyright
              ${DIGITAL_ID_PACKAGING_BINARY}/changelog.Debian.gz
        DESTINATION ${DIGITAL_ID_PACKAGE_DOCDIR} COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${DIGITAL_ID_PACKAGING_SOURCE}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME ${DIGITAL_ID_PACKAGE_NAME} COMPONENT deb EXCLUDE_FROM_ALL)
# The expiry reminder at every login of every user (digital-id-enroll --check-expiry), as an XDG
# autostart entry. /etc is the system's, so only the package installs it, and there it is a
# configuration file (packaging/conffiles): an administrator's change or removal survives
# upgrades, and it goes only when the package is purged. A user turns it off with a copy in
# ~/.config/autostart that says Hidden=true.
install(FILES ${DIGITAL_ID_PACKAGING_SOURCE}/digital-id-expiry-check.desktop
        DESTINATION /etc/xdg/autostart COMPONENT deb EXCLUDE_FROM_ALL)

# One package holding exactly these install components (see frontends/console/CMakeLists.txt and
# frontends/qt/CMakeLists.txt for programs and desktop).
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL programs desktop docs deb)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_NAME ${DIGITAL_ID_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "obtain a digital ID with a one-time code and install it")
# The long description as the control file shows it: lines of at most 80 characters, paragraphs
# separated by an empty line.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A small program that obtains a client certificate (a digital ID) for its\n"
    "user or for the computer and installs it in the certificate stores.\n"
    "The issuing organisation hands the user a one-time secure code. Pasted into\n"
    "the window, it starts one enrollment: the issuing CA and root certificates\n"
    "are downloaded and installed where needed, a TLS 1.2 connection to the\n"
    "issuing server is checked, a fresh key pair and request are sent with the\n"
    "code, and the issued certificate is installed next to its key and published\n"
    "for other programs (PEM files and the user's NSS databases).\n"
    "\n"
    "This package holds the window (digital-id-installer) and the same enrollment\n"
    "for a terminal (digital-id-enroll).")
set(CPACK_PACKAGE_HOMEPAGE_URL ${DIGITAL_ID_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DIGITAL_ID_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${DIGITAL_ID_DEB_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are those of the binaries, computed by dpkg-shlibdeps (from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Fonts are no shared libraries, so dpkg-shlibdeps cannot find them: the window falls back to
# Liberation Sans Narrow where Trebuchet MS is missing, so that no caption is cut.
# In a Wayland session the window uses Qt's Wayland plugin; without it, it falls back to X11
# through Xwayland where DISPLAY is set.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, qt6-wayland")
# A machine enrollment hands its anchors to the system's trust through p11-kit's trust program
# or update-ca-certificates; without either, that publication step reports a failure (the
# enrollment itself is not affected). User enrollments need neither.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ca-certificates, p11-kit")
# The control files beside the generated ones: the list of configuration files, mode 0644.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${DIGITAL_ID_PACKAGING_SOURCE}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The RelWithDebInfo binaries are stripped in the package.
set(CPACK_STRIP_FILES ON)
# Folders the package makes get Debian's usual mode whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
