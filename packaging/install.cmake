# The installed program (GNU install directories): executable, .desktop entry, hicolor icons,
# AppStream metainfo, the empty store it copies for each user, a man page, and the Debian
# package built from them by CPack (cpack -G DEB, or the `package` target).
include(GNUInstallDirs)

set(QUILLBY_APP_ID "org.marrowvale.quillby")
set(QUILLBY_RELEASE_DATE "2026-12-10")
set(QUILLBY_HOMEPAGE "https://www.marrowvale.org/quillby/" CACHE STRING "The product's home page")
set(QUILLBY_SCREENSHOT_URL "https://www.marrowvale.org/quillby/desktop_6_debt_load_result.png"
    CACHE STRING "Where the metainfo's screenshot (the quillby_screenshots target) is published")
set(pkg ${CMAKE_BINARY_DIR}/packaging)
set(src ${CMAKE_SOURCE_DIR}/packaging)

# The window matches its .desktop entry by the application id; the installed empty store is
# found from the executable's folder, so a staged or relocated installation works as well. The id
# is given to the one source that uses it, so every GUI source matches the precompiled headers
# that quillby-snapshots shares.
set_property(SOURCE app/startup.cpp APPEND PROPERTY COMPILE_DEFINITIONS QUILLBY_APP_ID="${QUILLBY_APP_ID}")
file(RELATIVE_PATH store_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/quillby/quillby.mdb)
target_compile_definitions(quillby_core PRIVATE QUILLBY_INSTALLED_STORE="${store_from_bin}")
# The modules are private to the program, found from the executable's folder as well; a folder
# below lib/quillby/, as the package's scripts would otherwise run ldconfig for them.
set(QUILLBY_MODULE_DIR lib/quillby/modules)
file(RELATIVE_PATH modules_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${QUILLBY_MODULE_DIR})
set_property(SOURCE desktop/modules.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS QUILLBY_INSTALLED_MODULES="${modules_from_bin}")

# Icons painted by the program's own logo code.
find_package(Qt6 REQUIRED COMPONENTS Gui Svg)
add_executable(quillby-icons ${src}/icons.cpp)
target_link_libraries(quillby-icons PRIVATE quillby_gui Qt6::Svg)
set(icon_files ${pkg}/icons/scalable/apps/${QUILLBY_APP_ID}.svg)
foreach(size 16 32 48 64 128 256)
  list(APPEND icon_files ${pkg}/icons/${size}x${size}/apps/${QUILLBY_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${icon_files}
  COMMAND quillby-icons ${pkg}/icons ${QUILLBY_APP_ID}
  DEPENDS quillby-icons
  COMMENT "Painting the application icons")

# A store with no rows, never the one the build folder's program uses.
add_custom_command(OUTPUT ${pkg}/quillby.mdb
  COMMAND ${CMAKE_COMMAND} -E rm -f ${pkg}/quillby.mdb
  COMMAND quillby-mkdb ${pkg}/quillby.mdb
  DEPENDS quillby-mkdb ${CMAKE_SOURCE_DIR}/data/schema.sql
  COMMENT "Making the empty store to install")

set(QUILLBY_FULL_STORE_DIR ${CMAKE_INSTALL_FULL_DATADIR}/quillby)
configure_file(${src}/quillby.desktop.in ${pkg}/${QUILLBY_APP_ID}.desktop @ONLY)
configure_file(${src}/metainfo.xml.in ${pkg}/${QUILLBY_APP_ID}.metainfo.xml @ONLY)
configure_file(${src}/quillby.1.in ${pkg}/quillby.1 @ONLY)

set(CPACK_PACKAGE_NAME quillby)
set(CPACK_PACKAGE_CONTACT "Quillby developers <desktop@quillby.example>")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(QUILLBY_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(QUILLBY_CHANGELOG_DATE "Thu, 10 Dec 2026 12:00:00 +0000")
configure_file(${src}/debian/changelog.in ${pkg}/changelog.Debian @ONLY)

# Debian wants man pages and changelogs compressed, reproducibly (no name, no time stamp).
add_custom_command(OUTPUT ${pkg}/quillby.1.gz ${pkg}/changelog.Debian.gz
  COMMAND gzip -9nkf ${pkg}/quillby.1 ${pkg}/changelog.Debian
  DEPENDS ${pkg}/quillby.1 ${pkg}/changelog.Debian
  COMMENT "Compressing the man page and the changelog")
add_custom_target(quillby_installed_files ALL
  DEPENDS ${icon_files} ${pkg}/quillby.mdb ${pkg}/quillby.1.gz ${pkg}/changelog.Debian.gz)

# The metainfo's screenshot, from the snapshot command; published at QUILLBY_SCREENSHOT_URL.
add_custom_target(quillby_screenshots
  COMMAND quillby-snapshots ${pkg}/screenshots
  DEPENDS quillby-snapshots
  COMMENT "Taking the screenshots into ${pkg}/screenshots")

install(TARGETS quillby RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quillby_online quillby_print LIBRARY DESTINATION ${QUILLBY_MODULE_DIR})
install(FILES ${pkg}/${QUILLBY_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${pkg}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${pkg}/${QUILLBY_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${pkg}/quillby.mdb DESTINATION ${CMAKE_INSTALL_DATADIR}/quillby)
install(FILES ${pkg}/quillby.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${src}/debian/copyright ${pkg}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillby)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VENDOR "Quillby")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client of a debt-counselling community service")
# The extended description; CPack puts the summary before it and indents the lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillby Desktop signs a person in with a local account, works out their debt
load in a calculator with a pie chart, asks the Marrowvale service for free
counselling through its web form, refers a friend by e-mail and sends the
service feedback. Accounts and figures stay in a local SQLite file in the
user's data folder.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUILLBY_HOMEPAGE})
# Dependencies from the libraries the executable links (dpkg-shlibdeps), and OpenSSL, which it
# opens only for its first secure connection (net/tls_library.cpp); the Wayland platform and the
# fonts the dialogs are laid out for are recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
