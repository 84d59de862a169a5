# The Debian package of the installed tree: `cmake --build <build> --target package`, which
# `make package` runs on a Release build. Included last from the top folder, as CPack wants.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velquist)
set(CPACK_PACKAGE_VENDOR "The Velquist developers")
set(CPACK_PACKAGE_CONTACT "The Velquist developers <velquist@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "panel for the sessions of AI coding agents")
set(CPACK_PACKAGE_DESCRIPTION
    "Velquist gathers the sessions of the AI coding agents running in your terminals into one panel at the top edge of each screen, and answers their permission requests through the hook client quorvel.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The libraries the programs link come from dpkg-shlibdeps; Qt's X11 platform plugin is loaded at
# run time, so no library names it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sound-theme-freedesktop")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_SOURCE_DIR}/packaging/postinst;${CMAKE_SOURCE_DIR}/packaging/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
