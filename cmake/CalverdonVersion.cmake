# Version information for our own modules.
#
# calverdon_add_version_resource(TARGET [VERSION a.b.c.d] [COPYRIGHT text]
#                                [DESCRIPTION text])
# Gives an executable or shared library target a version block (the layout
# of a Windows version resource) in its ELF section ".calverdon_version":
# the product and file version (default: the project's version, 1.0.0.0),
# and under language 0407, code page 04E4 the strings "LegalCopyright"
# (default CALVERDON_COPYRIGHT), "ProductName" "Calverdon", "FileDescription"
# (default "Calverdon"), "FileVersion", "ProductVersion" and
# "OriginalFilename". GetDLLInfo reads it back. Call it in the folder that
# defines the target.

set(CALVERDON_COPYRIGHT "© 2026 Die Calverdon-Entwickler")

function(calverdon_add_version_resource target)
    cmake_parse_arguments(ARG "" "VERSION;COPYRIGHT;DESCRIPTION" "" ${ARGN})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
        # A static or object library would lose the block unless something
        # pulled its object file in.
        message(FATAL_ERROR "calverdon_add_version_resource: ${target} is a ${type}, not a linked module")
    endif()
    if(NOT DEFINED ARG_VERSION)
        set(ARG_VERSION "${Calverdon_VERSION_MAJOR}.${Calverdon_VERSION_MINOR}.${Calverdon_VERSION_PATCH}")
        if("${Calverdon_VERSION_TWEAK}" STREQUAL "")
            string(APPEND ARG_VERSION ".0")
        else()
            string(APPEND ARG_VERSION ".${Calverdon_VERSION_TWEAK}")
        endif()
    endif()
    if(NOT DEFINED ARG_COPYRIGHT)
        set(ARG_COPYRIGHT "${CALVERDON_COPYRIGHT}")
    endif()
    if(NOT DEFINED ARG_DESCRIPTION)
        set(ARG_DESCRIPTION "Calverdon")
    endif()

    set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.cpp")
    add_custom_command(
        OUTPUT "${source}"
        COMMAND calverdon_version_source "${source}" "${ARG_VERSION}" "${ARG_COPYRIGHT}" "Calverdon"
                "${ARG_DESCRIPTION}" "$<TARGET_FILE_NAME:${target}>"
        DEPENDS calverdon_version_source
        COMMENT "Version block of ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE "${source}")
endfunction()
