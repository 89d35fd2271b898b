# Layout of the client installation tree that `cmake --install` writes.
# With the default prefix /opt/vell the libraries land exactly where the
# client's run path looks for them.
#
#   <prefix>/updater                      the updater lives beside the client
#   <prefix>/vell_libs/                   our shared libraries (and the client's)
#   <prefix>/other_libs/                  third-party companions (empty unless packaged)
#   <prefix>/plugins/                     roster plug-ins (*.kwx)
#   <prefix>/plugins/designer/            Qt Designer plug-ins
#   <prefix>/include/                     the headers a client includes, one per class
#   <prefix>/lib/cmake/VellCompanions/    the CMake package configuration
#   <prefix>/lib/pkgconfig/               one pkg-config file per library
#
# Two install components:
#   companions  the deliverables; the default install
#   standins    our stand-ins for the client's own program and libraries and
#               their tools; installed only when asked for by name, since in
#               the client's folder they would overwrite the client's own files
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX /opt/vell CACHE PATH "Client installation tree" FORCE)
endif()

set(VELL_INSTALL_BINDIR .)
set(VELL_INSTALL_LIBDIR vell_libs)
set(VELL_INSTALL_PLUGINDIR plugins)
set(VELL_INSTALL_DESIGNERDIR plugins/designer)
set(VELL_INSTALL_INCLUDEDIR include)
set(VELL_INSTALL_CMAKEDIR lib/cmake/VellCompanions)
set(VELL_INSTALL_PKGCONFIGDIR lib/pkgconfig)

set(VELL_COMPONENT companions)
set(VELL_STANDIN_COMPONENT standins)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME ${VELL_COMPONENT})

# The export sets of the CMake package: our libraries, and the stand-ins that
# their interfaces name (the client brings the real ones).
set(VELL_EXPORT_SET VellCompanionsTargets)
set(VELL_STANDIN_EXPORT_SET VellClientTargets)

# The client's own run path: Qt shipped with the client first, then its libraries.
set(VELL_RUNPATH "/opt/vell/qt_libs;/opt/vell/vell_libs")
set(VELL_RUNPATH_WITH_OTHER_LIBS "${VELL_RUNPATH};/opt/vell/other_libs")

# Gives a target the client's run path in the installed tree. In the build
# tree the build's own library folder comes first, so tests and the demo use
# the libraries just built even where a client tree is installed.
#   vell_set_runpath(target [OTHER_LIBS] [ORIGIN relative-folder])
# ORIGIN adds "$ORIGIN/relative-folder" after the client's folders (a stand-in
# tool or library finding its companions below any prefix); "." names the
# target's own folder.
#
# The build-tree run path is the installed one behind the build's library
# folder, and the install drops that first entry (vell_fix_installed_runpaths).
# CMake's own rewrite at install time would leave an empty last entry in the
# build tree's run path, which the loader reads as the current folder.
function(vell_set_runpath target)
    cmake_parse_arguments(ARG "OTHER_LIBS" "ORIGIN" "" ${ARGN})
    if(ARG_OTHER_LIBS)
        set(runpath "${VELL_RUNPATH_WITH_OTHER_LIBS}")
    else()
        set(runpath "${VELL_RUNPATH}")
    endif()
    if(ARG_ORIGIN STREQUAL ".")
        list(APPEND runpath "$ORIGIN")
    elseif(ARG_ORIGIN)
        list(APPEND runpath "$ORIGIN/${ARG_ORIGIN}")
    endif()
    set_target_properties(${target} PROPERTIES
        SKIP_BUILD_RPATH OFF
        BUILD_WITH_INSTALL_RPATH ON
        INSTALL_RPATH "${CMAKE_LIBRARY_OUTPUT_DIRECTORY};${runpath}")
    target_link_options(${target} PRIVATE -Wl,--enable-new-dtags)
endfunction()

# Installs, into each component, the step that takes the build's library
# folder off the run path of every ELF file just installed into the folders
# that hold our programs and libraries. Called once, after every other install
# rule (install rules run in the order they were declared).
function(vell_fix_installed_runpaths)
    set(folders ${VELL_INSTALL_BINDIR} ${VELL_INSTALL_LIBDIR} ${VELL_INSTALL_PLUGINDIR}
                ${VELL_INSTALL_DESIGNERDIR})
    set(code "
set(_vell_build_entry \"${CMAKE_LIBRARY_OUTPUT_DIRECTORY}:\")
string(LENGTH \"\${_vell_build_entry}\" _vell_build_entry_length)
foreach(_vell_folder ${folders})
    file(GLOB _vell_files LIST_DIRECTORIES false
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${_vell_folder}/*\")
    foreach(_vell_file IN LISTS _vell_files)
        if(IS_SYMLINK \"\${_vell_file}\")
            continue()
        endif()
        # READ_ELF leaves both variables alone where it finds nothing.
        unset(_vell_runpath)
        unset(_vell_not_elf)
        file(READ_ELF \"\${_vell_file}\" RUNPATH _vell_runpath CAPTURE_ERROR _vell_not_elf)
        string(REPLACE \";\" \":\" _vell_runpath \"\${_vell_runpath}\")
        string(FIND \"\${_vell_runpath}\" \"\${_vell_build_entry}\" _vell_at)
        if(NOT _vell_not_elf AND _vell_at EQUAL 0)
            string(SUBSTRING \"\${_vell_runpath}\" \${_vell_build_entry_length} -1 _vell_installed)
            file(RPATH_CHANGE FILE \"\${_vell_file}\"
                 OLD_RPATH \"\${_vell_runpath}\" NEW_RPATH \"\${_vell_installed}\")
        endif()
    endforeach()
endforeach()
")
    install(CODE "${code}" COMPONENT ${VELL_COMPONENT})
    install(CODE "${code}" COMPONENT ${VELL_STANDIN_COMPONENT} EXCLUDE_FROM_ALL)
endfunction()
