# Layout of the client installation tree that `cmake --install` writes.
# With the default prefix /opt/vell the libraries land exactly where the
# client's run path looks for them.
#
#   <prefix>/updater, <prefix>/vell       programs (the updater lives beside the client)
#   <prefix>/vell_libs/                   client stand-in libraries and our shared libraries
#   <prefix>/other_libs/                  third-party companions (empty unless packaged)
#   <prefix>/plugins/                     roster plug-ins (*.kwx)
#   <prefix>/plugins/designer/            Qt Designer plug-ins
#   <prefix>/include/                     public headers, one per class
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX /opt/vell CACHE PATH "Client installation tree" FORCE)
endif()

set(VELL_INSTALL_BINDIR .)
set(VELL_INSTALL_LIBDIR vell_libs)
set(VELL_INSTALL_PLUGINDIR plugins)
set(VELL_INSTALL_DESIGNERDIR plugins/designer)
set(VELL_INSTALL_INCLUDEDIR include)

# The client's own run path: Qt shipped with the client first, then its libraries.
set(VELL_RUNPATH "/opt/vell/qt_libs;/opt/vell/vell_libs")
set(VELL_RUNPATH_WITH_OTHER_LIBS "${VELL_RUNPATH};/opt/vell/other_libs")

# Gives a target the client's run path, in the installed tree and in the build
# tree, followed in the build tree by our own library folder, so tests and the
# demo run without installing.
#   vell_set_runpath(target [OTHER_LIBS])
function(vell_set_runpath target)
    cmake_parse_arguments(ARG "OTHER_LIBS" "" "" ${ARGN})
    if(ARG_OTHER_LIBS)
        set(runpath "${VELL_RUNPATH_WITH_OTHER_LIBS}")
    else()
        set(runpath "${VELL_RUNPATH}")
    endif()
    set_target_properties(${target} PROPERTIES
        SKIP_BUILD_RPATH OFF
        BUILD_WITH_INSTALL_RPATH OFF
        INSTALL_RPATH "${runpath}"
        BUILD_RPATH "${runpath};${CMAKE_LIBRARY_OUTPUT_DIRECTORY}")
    target_link_options(${target} PRIVATE -Wl,--enable-new-dtags)
endfunction()
