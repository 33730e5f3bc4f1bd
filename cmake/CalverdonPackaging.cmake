# `cpack -G DEB` in a build folder makes a Debian package of everything that
# `cmake --install` installs. Its dependencies come from dpkg-shlibdeps, which
# reads them off the installed programs and library.
set(CPACK_PACKAGE_NAME calverdon)
set(CPACK_PACKAGE_VENDOR "Calverdon")
set(CPACK_PACKAGE_CONTACT "Calverdon-Entwickler <calverdon@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Hex-text files back into the files they carry, and the other way")
set(CPACK_PACKAGE_DESCRIPTION
    "Calverdon rebuilds binary files from hex-text files and their chains of parts, \
and writes such files. Ships a desktop program, a command-line tool and a \
library of barcodes, a phonetic code and an edit distance.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
