# The Debian package that scripts/package.sh builds: sentrel_<version>_<arch>.deb with
# what `cmake --install` puts under /usr. Its library dependencies are worked out from
# the binaries by dpkg-shlibdeps, so they follow whatever the build linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sentrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Sentrel developers")
set(CPACK_PACKAGE_CONTACT "The Sentrel developers <sentrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop monitor that alerts you when something happens")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Sentrel sits in the notification area and watches a moment, a file, a host\n"
       "(ping), a POP3 mailbox or a web page; when one of them fires it sends an SMS\n"
       "through an HTTP gateway or an e-mail, shows a popup, starts a program or plays\n"
       "a sound. sentrelctl inspects, checks and runs a store from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help page opens in the desktop's browser; sounds play through the sound server and
# fall back to the theme's default sound; Wayland sessions get their own Qt platform.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "xdg-utils, libcanberra-pulse, sound-theme-freedesktop, qt6-wayland")
include(CPack)
