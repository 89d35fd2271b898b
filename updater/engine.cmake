# The engine: update query, downloads, installation and its log.
if(NOT TARGET updatercore)
    return()
endif()

add_library(updaterengine STATIC
    ${CMAKE_CURRENT_LIST_DIR}/VellUpdaterEngine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellUpdaterEngine.h
    ${CMAKE_CURRENT_LIST_DIR}/VellUpdateServerAddress.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellUpdateServerAddress.h
    ${CMAKE_CURRENT_LIST_DIR}/VellWorkDirectory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VellWorkDirectory.h)
add_library(Vell::UpdaterEngine ALIAS updaterengine)
target_include_directories(updaterengine PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_LIST_DIR}>)
target_link_libraries(updaterengine
    PUBLIC updatercore Qt5::Core Qt5::Network
    PRIVATE Qt5::Xml Qt5::Widgets)
