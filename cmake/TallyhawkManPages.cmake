# tallyhawk_add_man_page(SOURCE.N.scd COMPONENT comp)
# Makes the manual page SOURCE.N.gz from its scdoc source at build time and installs it in section N.
# Without scdoc no page is made; scripts/install-deps package installs it.
find_program(SCDOC scdoc)
if(NOT SCDOC)
    message(STATUS "scdoc not found: the manual pages are not built")
endif()
find_program(GZIP gzip REQUIRED)

function(tallyhawk_add_man_page source)
    cmake_parse_arguments(ARG "" "COMPONENT" "" ${ARGN})
    if(NOT SCDOC)
        return()
    endif()
    get_filename_component(page ${source} NAME_WLE)
    string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
    set(input ${CMAKE_CURRENT_SOURCE_DIR}/${source})
    set(roff ${CMAKE_CURRENT_BINARY_DIR}/man/${page})
    set(output ${roff}.gz)
    # gzip -n leaves the time out, so the same source always makes the same package.
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        COMMAND sh -c "exec \"$1\" < \"$2\" > \"$3\"" sh ${SCDOC} ${input} ${roff}
        COMMAND ${GZIP} -9nf ${roff}
        DEPENDS ${input} VERBATIM)
    add_custom_target(man_${page} ALL DEPENDS ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${ARG_COMPONENT})
endfunction()
