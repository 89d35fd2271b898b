include(GenerateExportHeader)

# A shared library of the client tree in one call: its alias, an export header
# <target>_export.h, include folders for the build and the installed tree, the
# client's run path, and the install of the library with its public headers
# into the CMake package's export set.
#
#   vell_add_shared_library(target ALIAS Vell::Name
#                           HEADERS public.h ... SOURCES private.h impl.cpp ...
#                           [OTHER_LIBS] [STAND_IN]
#                           [EXPORT_HEADER own_export.h] [DESIGNER_PLUGIN])
#
# HEADERS are the headers a client includes, and only those: they are
# installed. Private and test helper headers belong in SOURCES.
# OTHER_LIBS adds the client's third-party folder to the run path.
# STAND_IN marks our stand-in for a library of the client: it goes into the
# stand-in install component and export set, and finds its companions beside
# itself under any prefix.
# EXPORT_HEADER names a hand-written export header (one of HEADERS) to use
# instead of the generated one; the library is then compiled with
# VELL_<NAME>_LIBRARY defined (the alias's name in upper case, as
# VELL_SNAPWIDGETS_LIBRARY), for the header to tell export from import.
# DESIGNER_PLUGIN also installs the library as a Qt Designer plug-in and keeps
# a copy in the build's lib/designer folder, where Designer and QUiLoader find
# it without installing.
function(vell_add_shared_library target)
    cmake_parse_arguments(ARG "OTHER_LIBS;STAND_IN;DESIGNER_PLUGIN" "ALIAS;EXPORT_HEADER"
                          "HEADERS;SOURCES" ${ARGN})
    add_library(${target} SHARED ${ARG_HEADERS} ${ARG_SOURCES})
    add_library(${ARG_ALIAS} ALIAS ${target})
    # Imported as the same name in a consumer: Vell::Name.
    string(REGEX REPLACE "^Vell::" "" export_name "${ARG_ALIAS}")
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${export_name})
    if(ARG_EXPORT_HEADER)
        string(TOUPPER "VELL_${export_name}_LIBRARY" building_macro)
        target_compile_definitions(${target} PRIVATE ${building_macro})
        set(export_header)
    else()
        generate_export_header(${target})
        set(export_header ${CMAKE_CURRENT_BINARY_DIR}/${target}_export.h)
    endif()
    target_include_directories(${target} PUBLIC
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>
        $<BUILD_INTERFACE:${CMAKE_CURRENT_BINARY_DIR}>
        $<INSTALL_INTERFACE:${VELL_INSTALL_INCLUDEDIR}>)
    # An unresolved symbol would otherwise only show when the client loads us.
    target_link_options(${target} PRIVATE -Wl,--no-undefined)

    set(runpath_options)
    if(ARG_OTHER_LIBS)
        list(APPEND runpath_options OTHER_LIBS)
    endif()
    if(ARG_STAND_IN)
        list(APPEND runpath_options ORIGIN .)
        set(component ${VELL_STANDIN_COMPONENT} EXCLUDE_FROM_ALL)
        set(export_set ${VELL_STANDIN_EXPORT_SET})
    else()
        set(component ${VELL_COMPONENT})
        set(export_set ${VELL_EXPORT_SET})
    endif()
    vell_set_runpath(${target} ${runpath_options})

    install(TARGETS ${target} EXPORT ${export_set}
            LIBRARY DESTINATION ${VELL_INSTALL_LIBDIR} COMPONENT ${component})
    install(FILES ${ARG_HEADERS} ${export_header}
            DESTINATION ${VELL_INSTALL_INCLUDEDIR} COMPONENT ${component})

    if(ARG_DESIGNER_PLUGIN)
        # Designer loads the same file from its plug-in folder; both copies
        # carry the client's run path.
        install(TARGETS ${target}
                LIBRARY DESTINATION ${VELL_INSTALL_DESIGNERDIR} COMPONENT ${component})
        # Designer and QUiLoader look for plug-ins in a "designer" folder of
        # the plug-in path.
        set(designer_dir ${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/designer)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E make_directory ${designer_dir}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}>
                    ${designer_dir}/$<TARGET_FILE_NAME:${target}>
            COMMENT "Copying ${target} into the build's designer plug-in folder")
    endif()
endfunction()

# A static library of the tree in one call: its alias and its folder as the
# include folder of everything that links it.
#
#   vell_add_static_library(target [ALIAS Vell::Name] SOURCES a.cpp a.h ...)
#
# Link it with target_link_libraries as any other target; the alias is what
# other folders name.
function(vell_add_static_library target)
    cmake_parse_arguments(ARG "" "ALIAS" "SOURCES" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
    if(ARG_ALIAS)
        add_library(${ARG_ALIAS} ALIAS ${target})
    endif()
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>)
endfunction()
