# One-line registration of a QtTest program.
#
#   vell_add_test(NAME tst_foo SOURCES tst_foo.cpp [more.cpp ...]
#                 LIBS Qt5::Core ... [XVFB | RUNNER command args...]
#                 [ENV "VAR=value" ...] [LABELS ...] [TIMEOUT seconds])
#
# Tests are compiled with Qt's asserts on, whatever the build type, and run on
# the offscreen platform; XVFB runs the test on a private X server of its own
# instead (for real X11 pointer and grabs); RUNNER runs it on X11 through a
# command that provides the display, given the test program as its last
# argument. Every test runs through vell-run-test.sh, so nothing it starts
# outlives it, even when CTest kills it.
function(vell_add_test)
    cmake_parse_arguments(ARG "XVFB" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;LABELS;RUNNER" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE Qt5::Test ${ARG_LIBS})
    # Q_ASSERT is compiled out with QT_NO_DEBUG (every build type but Debug);
    # a test wants it to fire.
    target_compile_definitions(${ARG_NAME} PRIVATE QT_FORCE_ASSERTS)
    vell_set_runpath(${ARG_NAME})
    set(runner ${PROJECT_SOURCE_DIR}/cmake/vell-run-test.sh)
    if(ARG_XVFB)
        add_test(NAME ${ARG_NAME} COMMAND ${runner} --xvfb -- $<TARGET_FILE:${ARG_NAME}>)
        set(platform "QT_QPA_PLATFORM=xcb")
    elseif(ARG_RUNNER)
        add_test(NAME ${ARG_NAME} COMMAND ${runner} -- ${ARG_RUNNER} $<TARGET_FILE:${ARG_NAME}>)
        set(platform "QT_QPA_PLATFORM=xcb")
    else()
        add_test(NAME ${ARG_NAME} COMMAND ${runner} -- $<TARGET_FILE:${ARG_NAME}>)
        set(platform "QT_QPA_PLATFORM=offscreen")
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${ARG_NAME} PROPERTIES
        ENVIRONMENT "${platform};VELL_BUILD_DIR=${CMAKE_BINARY_DIR};VELL_SOURCE_DIR=${CMAKE_SOURCE_DIR};${ARG_ENV}"
        TIMEOUT ${ARG_TIMEOUT})
    if(ARG_LABELS)
        set_tests_properties(${ARG_NAME} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()
