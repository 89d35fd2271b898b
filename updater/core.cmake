# updatercore: the update protocol records, the installed components registry
# and the package installer. No GUI; the updater program, its engine, the
# client stand-in "vell" and the tests link it.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::MINIZIP)
    pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET GLOBAL minizip)
endif()

set(updatercore_sources
    Component.cpp Component.h
    ComponentsFile.cpp ComponentsFile.h
    ComponentsFileReader.cpp ComponentsFileReader.h
    FileInstruction.cpp FileInstruction.h
    KwUpdaterClient.cpp KwUpdaterClient.h
    PathInstruction.cpp PathInstruction.h
    Request.cpp Request.h
    Result.cpp Result.h
    Update.cpp Update.h
    UpdateResponseParser.cpp UpdateResponseParser.h
    Util.cpp Util.h
    VellUpdatePackage.cpp VellUpdatePackage.h
    # private helpers of the package installer
    VellFileCopy_p.cpp VellFileCopy_p.h
    VellInstallPaths_p.cpp VellInstallPaths_p.h
    VellPackageArchive_p.cpp VellPackageArchive_p.h
    VellUnwindArea_p.cpp VellUnwindArea_p.h)
list(TRANSFORM updatercore_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)

add_library(updatercore STATIC ${updatercore_sources})
add_library(Vell::UpdaterCore ALIAS updatercore)
target_include_directories(updatercore PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_LIST_DIR}>)
target_link_libraries(updatercore
    PUBLIC Qt5::Core Qt5::Xml
    PRIVATE PkgConfig::MINIZIP)
