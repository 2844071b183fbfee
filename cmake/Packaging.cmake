# Installation beyond the programs themselves, and the Debian package (`make package`, CPack's DEB
# generator). The programs, libunlha32.so, the desktop entry and the icons are installed by their own
# folders; the man pages by docs/man. `cmake --install` into a DESTDIR gives the package's layout.

set(CORVANE_PACKAGE_MAINTAINER "Corvane maintainers <maintainers@corvane.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CORVANE_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/corvane")

# The file types the program registers per user (platform/FileTypes.cpp), for every user.
install(FILES packaging/corvane.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES packaging/copyright DESTINATION ${CORVANE_DOCDIR})

# The changelog is installed compressed without a time stamp, as Debian wants it.
file(STRINGS packaging/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^corvane \\(${PROJECT_VERSION}\\) ")
  message(WARNING "packaging/changelog has no entry for version ${PROJECT_VERSION}: ${changelog_head}")
endif()
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
                   COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
                   DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
add_custom_target(corvane_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION ${CORVANE_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Corvane developers")
set(CPACK_PACKAGE_CONTACT "${CORVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # corvane_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CORVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "public-key file encryption for e-mail correspondents")
# The extended description; CPack puts the summary before it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Corvane creates a key pair whose public half is a .KVK file named after your
e-mail address, encrypts files for a recipient into one .KVX container (an
LHA archive of the AES-encrypted file and its session key, wrapped with the
recipient's Okamoto-Uchiyama public key), and decrypts containers made for you.
It offers a wizard with a Japanese interface (corvane) and a command-line tool
over the same code (corvane-cli).")
# The libraries the programs link come from dpkg-shlibdeps; what they load or run at run time is named here:
# Qt's SVG plugins draw the icons, xdg-utils hands containers to the mail program and opens folders, and
# shared-mime-info reads the file types.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, xdg-utils, shared-mime-info")
# A Japanese font for the wizard's text, and Qt's own dialogs in Japanese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
