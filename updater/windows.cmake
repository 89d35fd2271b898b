# The four windows of an update run, their compiled-in resources and the
# translation, plus the start-up logic; the `updater` program holds main() alone.
if(NOT TARGET updaterengine)
    return()
endif()

# The resource collection "updater" lists the forms and the icon from the
# source tree and the catalogue that lrelease writes at build time. rcc reads
# it from a mirror in the build tree, where both halves lie side by side.
set(_vell_res_dir ${CMAKE_CURRENT_BINARY_DIR}/updater_resources)
set(_vell_res_files Changelog.ui Download.ui Install.ui Summary.ui icon.png)
set(_vell_res_inputs)
foreach(_file ${_vell_res_files})
    configure_file(${CMAKE_CURRENT_LIST_DIR}/res/${_file} ${_vell_res_dir}/res/${_file} COPYONLY)
    list(APPEND _vell_res_inputs ${_vell_res_dir}/res/${_file})
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/updater.qrc ${_vell_res_dir}/updater.qrc COPYONLY)

set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/languages/vell_pl_PL.ts
    PROPERTIES OUTPUT_LOCATION ${_vell_res_dir}/languages)
qt5_add_translation(_vell_qm_files ${CMAKE_CURRENT_LIST_DIR}/languages/vell_pl_PL.ts)

add_custom_command(
    OUTPUT ${_vell_res_dir}/qrc_updater.cpp
    COMMAND Qt5::rcc --name updater --output ${_vell_res_dir}/qrc_updater.cpp
            ${_vell_res_dir}/updater.qrc
    DEPENDS ${_vell_res_dir}/updater.qrc ${_vell_res_inputs} ${_vell_qm_files}
    COMMENT "Compiling the updater's resources"
    VERBATIM)
set_source_files_properties(${_vell_res_dir}/qrc_updater.cpp PROPERTIES
    GENERATED ON SKIP_AUTOGEN ON)

add_library(updaterwindows STATIC
    ${CMAKE_CURRENT_LIST_DIR}/VellChangelogDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellChangelogDialog.h
    ${CMAKE_CURRENT_LIST_DIR}/VellDownloadDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellDownloadDialog.h
    ${CMAKE_CURRENT_LIST_DIR}/VellInstallDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellInstallDialog.h
    ${CMAKE_CURRENT_LIST_DIR}/VellSummaryDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellSummaryDialog.h
    ${CMAKE_CURRENT_LIST_DIR}/VellFormLoader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellFormLoader.h
    ${CMAKE_CURRENT_LIST_DIR}/VellLanguageChoice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellLanguageChoice.h
    ${CMAKE_CURRENT_LIST_DIR}/VellUpdaterProgram.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellUpdaterProgram.h
    ${_vell_res_dir}/qrc_updater.cpp)
add_library(Vell::UpdaterWindows ALIAS updaterwindows)
target_include_directories(updaterwindows PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_LIST_DIR}>)
target_link_libraries(updaterwindows
    PUBLIC updaterengine Qt5::Widgets
    PRIVATE Qt5::UiTools)

add_executable(updater ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(updater PRIVATE updaterwindows)
vell_set_runpath(updater)
install(TARGETS updater RUNTIME DESTINATION ${VELL_INSTALL_BINDIR})
