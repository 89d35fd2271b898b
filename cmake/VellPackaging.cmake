# What a consumer and a packager get from an installed tree: the CMake package
# configuration, one pkg-config file per library, and a Debian package of the
# deliverables made by CPack (`cpack -G DEB` in the build folder).
include(CMakePackageConfigHelpers)

set(_vell_package_dir ${CMAKE_CURRENT_LIST_DIR}/package)

# ---------------------------------------------------------------- CMake ---
install(EXPORT ${VELL_EXPORT_SET}
        NAMESPACE Vell::
        DESTINATION ${VELL_INSTALL_CMAKEDIR}
        COMPONENT ${VELL_COMPONENT})
# The stand-ins' targets travel with the stand-ins.
install(EXPORT ${VELL_STANDIN_EXPORT_SET}
        NAMESPACE Vell::
        DESTINATION ${VELL_INSTALL_CMAKEDIR}
        COMPONENT ${VELL_STANDIN_COMPONENT} EXCLUDE_FROM_ALL)

configure_package_config_file(${_vell_package_dir}/VellCompanionsConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/VellCompanionsConfig.cmake
    INSTALL_DESTINATION ${VELL_INSTALL_CMAKEDIR}
    PATH_VARS VELL_INSTALL_LIBDIR VELL_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VellCompanionsConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VellCompanionsConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/VellCompanionsConfigVersion.cmake
        DESTINATION ${VELL_INSTALL_CMAKEDIR}
        COMPONENT ${VELL_COMPONENT})

# ----------------------------------------------------------- pkg-config ---
# The files find their prefix from their own place, so the tree may move.
#   vell_add_pkgconfig(name DESCRIPTION text REQUIRES modules LIBS flags)
function(vell_add_pkgconfig name)
    cmake_parse_arguments(VELL_PC "" "DESCRIPTION;REQUIRES;LIBS" "" ${ARGN})
    set(VELL_PC_NAME ${name})
    configure_file(${_vell_package_dir}/vell-library.pc.in
                   ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${name}.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${name}.pc
            DESTINATION ${VELL_INSTALL_PKGCONFIGDIR}
            COMPONENT ${VELL_COMPONENT})
endfunction()

# The archive module's headers name the client's archive backend, which a
# program using the module links as well (it lives beside the module).
vell_add_pkgconfig(msgvault
    DESCRIPTION "Message archive of the Vell client over SQLite"
    REQUIRES "Qt5Core >= 5.15"
    LIBS "-lmsgvault -lvell_archive_backend")
vell_add_pkgconfig(snapwidgets
    DESCRIPTION "Screen capture widgets of the Vell client"
    REQUIRES "Qt5Core >= 5.15, Qt5Gui >= 5.15, Qt5Widgets >= 5.15"
    LIBS "-lsnapwidgets")

# ---------------------------------------------------------------- CPack ---
# The package holds the default install (the deliverables below /opt/vell)
# and the Debian documents, which only the package carries. Binaries are
# stripped; their debug symbols go into a -dbgsym package beside it.
set(VELL_DEBIAN_COMPONENT debian)
set(_vell_doc_dir /usr/share/doc/vell-companions)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/debian
    # -n: no name or time stamp inside, so the same changelog gives the same bytes.
    COMMAND gzip -9nc ${_vell_package_dir}/changelog > ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
    DEPENDS ${_vell_package_dir}/changelog
    COMMENT "Compressing the Debian changelog")
add_custom_target(vell-debian-docs ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz)
install(FILES ${_vell_package_dir}/copyright ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${_vell_doc_dir}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        COMPONENT ${VELL_DEBIAN_COMPONENT} EXCLUDE_FROM_ALL)
# The package's files are dpkg's: the updater must not replace the program's.
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/debian/updater.conf
        DESTINATION ${VELL_INSTALL_BINDIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        COMPONENT ${VELL_DEBIAN_COMPONENT} EXCLUDE_FROM_ALL)

# `cpack` installs from a finished build: without this, its "preinstall" step
# walks make over the whole tree again (half a minute) before every package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vell-companions)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vell companions maintainers")
set(CPACK_PACKAGE_CONTACT "Vell companions maintainers <maintainers@vell.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "updater, message archive and widgets of the Vell client")
set(CPACK_PACKAGE_DESCRIPTION [[
The companions of the Vell instant-messaging client, installed below its
folder /opt/vell: the updater, which installs newer versions of the
client's components, libmsgvault, the client's message archive over
SQLite, libsnapwidgets, the screen capture widgets, also as a Qt Designer
plug-in, and the roster plug-in statusfilter.kwx.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/vell)
# The Debian documents have absolute destinations: stage below DESTDIR.
set(CPACK_SET_DESTDIR ON)
# CPack takes the debug symbols out of the installed binaries into the -dbgsym
# package and strips them itself, so the install must not strip them first.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${VELL_COMPONENT} ${VELL_DEBIAN_COMPONENT})
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
include(CPack)
