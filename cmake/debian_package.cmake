# The Debian package: from a Release build, `cpack -G DEB` in the build folder writes hubsift_<version>_<arch>.deb.
# dpkg-shlibdeps (dpkg-dev) computes the library dependencies from the installed programs.
set(CPACK_PACKAGE_NAME hubsift)
set(CPACK_PACKAGE_VENDOR Brindlework)
set(CPACK_PACKAGE_CONTACT "Brindlework <hubsift@brindlework.net>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://hubsift.brindlework.net/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search every hub of the Direct Connect network at once")
set(CPACK_PACKAGE_DESCRIPTION
    "Hubsift finds files on the Direct Connect (NMDC) network. It visits every hub of a public hub list through up
to a hundred connections, sends one search on each and shows the answers in one sortable list. It only finds
files; it transfers none and stays on no hub.
.
The package holds the desktop program hubsift and the console program hubsift-cli, which searches from scripts
and terminals with table, JSON or CSV output.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds no display platform without its QPA plugins, which libqt6gui6 only recommends.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Certificates for the https hub list; a font with Arial's metrics for the window's fixed layout.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates, fonts-liberation2")
include(CPack)
