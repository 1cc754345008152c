# tallyhawk_install_icons(SVG NAME COMPONENT comp)
# Installs SVG as the hicolor theme's scalable icon NAME, and as a PNG in every size of the theme's apps
# folders (and their @2 doubles), drawn at build time by rsvg-convert. Without rsvg-convert only the
# scalable icon is installed, which every current desktop can draw.
set(TALLYHAWK_ICON_SIZES 16 22 24 32 36 48 64 72 96 128 192 256 512)

function(tallyhawk_install_icons svg name)
    cmake_parse_arguments(ARG "" "COMPONENT" "" ${ARGN})
    install(FILES ${svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${name}.svg
        COMPONENT ${ARG_COMPONENT})
    find_program(RSVG_CONVERT rsvg-convert)
    if(NOT RSVG_CONVERT)
        message(STATUS "rsvg-convert not found: only the scalable icon is installed")
        return()
    endif()
    set(pictures)
    foreach(size IN LISTS TALLYHAWK_ICON_SIZES)
        foreach(scale 1 2)
            math(EXPR pixels "${size} * ${scale}")
            set(folder ${size}x${size})
            if(scale EQUAL 2)
                set(folder ${folder}@2)
            endif()
            set(picture ${CMAKE_CURRENT_BINARY_DIR}/icons/${folder}/${name}.png)
            add_custom_command(OUTPUT ${picture}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${folder}
                COMMAND ${RSVG_CONVERT} --width ${pixels} --height ${pixels} --output ${picture} ${svg}
                DEPENDS ${svg} VERBATIM)
            install(FILES ${picture} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${folder}/apps
                COMPONENT ${ARG_COMPONENT})
            list(APPEND pictures ${picture})
        endforeach()
    endforeach()
    add_custom_target(${name}_icons ALL DEPENDS ${pictures})
endfunction()
