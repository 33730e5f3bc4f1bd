# Run by cpack once the Debian packages are built (CPACK_POST_BUILD_SCRIPTS).
# CPack writes postinst and postrm scripts that call ldconfig into a package
# that holds a library under /usr/lib. The library package activates the
# ldconfig trigger instead, so a script that does nothing but that call is
# taken out and the package rebuilt without it.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.deb$")
        continue()
    endif()
    set(tree ${CPACK_TOPLEVEL_DIRECTORY}/no-ldconfig)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    set(changed FALSE)
    foreach(script postinst postrm)
        set(path ${tree}/DEBIAN/${script})
        if(NOT EXISTS ${path})
            continue()
        endif()
        file(STRINGS ${path} lines)
        list(FILTER lines EXCLUDE REGEX "^[ \t]*(#.*|set -e|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|ldconfig|fi)?[ \t]*$")
        if(lines STREQUAL "")
            file(REMOVE ${path})
            set(changed TRUE)
        endif()
    endforeach()
    if(changed)
        execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${package}
            OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    endif()
    file(REMOVE_RECURSE ${tree})
endforeach()
