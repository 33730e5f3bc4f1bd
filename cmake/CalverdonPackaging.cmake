# `cpack -G DEB` in a build folder makes three Debian packages of what
# `cmake --install` installs, one per group of install components:
#
#   libcalverdon1     component runtime: the shared library and its SONAME link
#   libcalverdon-dev  component development: headers, the .so link, the CMake
#                     package and the pkg-config file
#   calverdon         every other component: the programs, their icon, desktop
#                     and AppStream files, manual pages and shell completion
#
# Dependencies on other packages come from dpkg-shlibdeps, which reads them off
# the library and the programs. The library belongs in the multiarch folder,
# which GNUInstallDirs picks when the install prefix is /usr at configure time
# (the release preset sets it).
if(NOT CMAKE_INSTALL_LIBDIR MATCHES "^lib/${CMAKE_LIBRARY_ARCHITECTURE}$")
    message(STATUS "Packaging: the library installs to ${CMAKE_INSTALL_LIBDIR}, not lib/<multiarch>; "
                   "configure with CMAKE_INSTALL_PREFIX=/usr for Debian packages")
endif()

# Everything that `cmake --install` copies out of the build tree, built by
# one target: tools/run builds it, so that the README's install works right
# after it (tests/library/install-sequence.sh checks that nothing is missed).
add_custom_target(calverdon_installable)
foreach(target calverdon calverdon-cli calverdon_app)
    if(TARGET ${target})
        add_dependencies(calverdon_installable ${target})
    endif()
endforeach()

set(CALVERDON_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)
set(CALVERDON_DEBIAN_RELEASE 1)
set(CALVERDON_DEBIAN_VERSION ${PROJECT_VERSION}-${CALVERDON_DEBIAN_RELEASE})

# Each package carries the copyright file and the changelog in its own doc
# folder, the changelog compressed reproducibly (no name, no time stamp),
# and lintian's overrides, each with its reason.
set(CALVERDON_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
execute_process(COMMAND gzip -9n -c ${CALVERDON_DEBIAN_DIR}/changelog
    OUTPUT_FILE ${CALVERDON_CHANGELOG_GZ}
    COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CALVERDON_DEBIAN_DIR}/changelog)

set(CALVERDON_PACKAGES libcalverdon1 libcalverdon-dev calverdon)
set(CALVERDON_PACKAGE_GROUPS runtime development programs)
foreach(package group IN ZIP_LISTS CALVERDON_PACKAGES CALVERDON_PACKAGE_GROUPS)
    install(FILES ${CALVERDON_DEBIAN_DIR}/copyright ${CALVERDON_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${group})
    install(FILES ${CALVERDON_DEBIAN_DIR}/lintian-overrides RENAME ${package}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${group})
endforeach()

# All install rules are known by now: the library's two components are
# packages of their own; every other one, whatever its name (those without
# one are "Unspecified"), goes into the programs' package.
# The component desktop-databases only updates the desktop's databases
# after a plain `cmake --install`; in the packages the triggers of
# shared-mime-info and desktop-file-utils do that.
get_cmake_property(components COMPONENTS)
list(REMOVE_ITEM components desktop-databases)
set(CPACK_COMPONENTS_ALL ${components})
foreach(component IN LISTS components)
    string(TOUPPER "${component}" upper)
    if(component STREQUAL "runtime" OR component STREQUAL "development")
        set(CPACK_COMPONENT_${upper}_GROUP ${component})
    else()
        set(CPACK_COMPONENT_${upper}_GROUP programs)
    endif()
endforeach()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_PACKAGE_NAME calverdon)
set(CPACK_PACKAGE_VENDOR "Calverdon")
set(CPACK_PACKAGE_CONTACT "Calverdon-Entwickler <entwickler@calverdon.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://calverdon.example/")
# Each package's first description line is its own synopsis; an empty
# summary keeps CPack from putting the project's in front of all three.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CALVERDON_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE calverdon)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libcalverdon1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "library of barcodes, a phonetic code and an edit distance
The Calverdon library draws one-dimensional barcodes (Code 128, EAN-128,
Code 39, interleaved 2 of 5) on a canvas supplied by the caller, computes
the Cologne phonetic code and a restricted Damerau-Levenshtein distance of
Windows-1252 words, and reads the version information of program modules.

This package contains the shared library.")
# A shlibs file for the packages built against the library, and a trigger
# for the dynamic linker's cache instead of maintainer scripts.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CALVERDON_DEBIAN_DIR}/triggers)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libcalverdon-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libcalverdon1 (= ${CALVERDON_DEBIAN_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "development files of the Calverdon library
The Calverdon library draws one-dimensional barcodes (Code 128, EAN-128,
Code 39, interleaved 2 of 5) on a canvas supplied by the caller, computes
the Cologne phonetic code and a restricted Damerau-Levenshtein distance of
Windows-1252 words, and reads the version information of program modules.

This package contains the C++ headers (C++17 or later), the CMake package
and the pkg-config file.")

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME calverdon)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION utils)
# The programs carry the library's units linked in; the dependency states
# that the library they were released with is there for others to use.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS "libcalverdon1 (= ${CALVERDON_DEBIAN_VERSION})")
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION
    "convert hex-text files back into the files they carry
A hex-text file is a binary file written as lines of hexadecimal digits so
that it survives being sent by e-mail; a large file travels as a chain of
numbered part files. Calverdon checks the header, follows the chain,
verifies the running checksum and rebuilds the original file byte for
byte, and writes such files and chains.

This package contains the German desktop program calverdon and the
command-line tool calverdon-cli, which also draws barcodes and computes
phonetic codes and edit distances.")

# CPack adds ldconfig calls to postinst and postrm of a package that holds a
# library under /usr/lib; the trigger above does that job, so they are
# taken out again once the packages are built.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CalverdonDebNoLdconfig.cmake)
include(CPack)
