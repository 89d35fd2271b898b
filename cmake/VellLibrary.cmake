include(GenerateExportHeader)

# A shared library of the client tree in one call: its alias, an export header
# <target>_export.h, include folders for the build and the installed tree, the
# client's run path, and the install of the library with its public headers.
#
#   vell_add_shared_library(target ALIAS Vell::Name
#                           HEADERS public.h ... SOURCES private.h impl.cpp ...
#                           [OTHER_LIBS])
#
# OTHER_LIBS adds the client's third-party folder to the run path.
function(vell_add_shared_library target)
    cmake_parse_arguments(ARG "OTHER_LIBS" "ALIAS" "HEADERS;SOURCES" ${ARGN})
    add_library(${target} SHARED ${ARG_HEADERS} ${ARG_SOURCES})
    add_library(${ARG_ALIAS} ALIAS ${target})
    generate_export_header(${target})
    target_include_directories(${target} PUBLIC
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>
        $<BUILD_INTERFACE:${CMAKE_CURRENT_BINARY_DIR}>
        $<INSTALL_INTERFACE:${VELL_INSTALL_INCLUDEDIR}>)
    # An unresolved symbol would otherwise only show when the client loads us.
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
    if(ARG_OTHER_LIBS)
        vell_set_runpath(${target} OTHER_LIBS)
    else()
        vell_set_runpath(${target})
    endif()
    install(TARGETS ${target} LIBRARY DESTINATION ${VELL_INSTALL_LIBDIR})
    install(FILES ${ARG_HEADERS} ${CMAKE_CURRENT_BINARY_DIR}/${target}_export.h
            DESTINATION ${VELL_INSTALL_INCLUDEDIR})
endfunction()
