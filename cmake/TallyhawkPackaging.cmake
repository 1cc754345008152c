# CPack: one Debian package per install component, each named after its program. scripts/package builds
# them; dpkg-shlibdeps finds each package's library dependencies.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallyhawk)
set(CPACK_PACKAGE_VENDOR "Quillmarch")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tallyhawk developers <tallyhawk@quillmarch.com>")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TALLYHAWK_SITE_URL}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_COMPONENTS_ALL tallyhawk-cli)
set(CPACK_DEBIAN_TALLYHAWK-CLI_PACKAGE_NAME tallyhawk-cli)
set(CPACK_DEBIAN_TALLYHAWK-CLI_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TALLYHAWK-CLI_PACKAGE_RECOMMENDS ca-certificates)
set(CPACK_DEBIAN_TALLYHAWK-CLI_DESCRIPTION "shopping assistant for the command line
tallyhawk-cli downloads coupons, deals and forum topics from a Tallyhawk deal
server, lists and searches them, keeps a shopping list with its purchases and
compares online prices, on the same data as the desktop program. Its watch
command announces new items on a terminal.")

if(TALLYHAWK_GUI)
    list(APPEND CPACK_COMPONENTS_ALL tallyhawk)
    set(CPACK_DEBIAN_TALLYHAWK_PACKAGE_NAME tallyhawk)
    set(CPACK_DEBIAN_TALLYHAWK_PACKAGE_SECTION utils)
    # Loaded at run time, so dpkg-shlibdeps cannot see them: the window system plugins and the SVG
    # image plugin that draws the program's icon.
    set(CPACK_DEBIAN_TALLYHAWK_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
    set(CPACK_DEBIAN_TALLYHAWK_PACKAGE_RECOMMENDS ca-certificates)
    set(CPACK_DEBIAN_TALLYHAWK_DESCRIPTION "shopping assistant in the notification area
Tallyhawk downloads new coupons, deals and forum topics from its deal server,
keeps them on your computer and announces them with small popups or desktop
notifications. It keeps a shopping list with recurring products, coupons and a
purchase history, compares online prices across shops and prints lists.")
endif()

if(TALLYHAWK_SERVER)
    list(APPEND CPACK_COMPONENTS_ALL tallyhawk-server)
    set(CPACK_DEBIAN_TALLYHAWK-SERVER_PACKAGE_NAME tallyhawk-server)
    set(CPACK_DEBIAN_TALLYHAWK-SERVER_PACKAGE_SECTION net)
    set(CPACK_DEBIAN_TALLYHAWK-SERVER_DESCRIPTION "self-hostable Tallyhawk deal server and site
tallyhawk-server serves coupons, deals and forum topics from an SQLite database
to Tallyhawk clients, and the small web site they read their store, category
and agent lists from. It comes with commands to post and import items, and
with systemd units to run it at login or for the whole machine.")
endif()

include(CPack)
