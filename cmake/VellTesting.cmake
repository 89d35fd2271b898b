# One-line registration of a QtTest program.
#
#   vell_add_test(NAME tst_foo SOURCES tst_foo.cpp [more.cpp ...]
#                 LIBS Qt5::Core ... [XVFB | RUNNER command args...]
#                 [NAMESPACE mount|network] [HOSTS name ...]
#                 [ENV "VAR=value" ...] [LABELS ...] [TIMEOUT seconds])
#
# Tests are compiled with Qt's asserts on, whatever the build type, and run on
# the offscreen platform; XVFB runs the test on a private X server of its own
# instead (for real X11 pointer and grabs); RUNNER runs it on X11 through a
# command that provides the display, given the test program as its last
# argument.
#
# NAMESPACE runs the test through tools/updateserver/run-in-netns.sh, inside
# private namespaces whose first process is that script, so nothing the test
# starts outlives it, even when CTest kills it:
#   mount    private mounts and process IDs; as root the build and source
#            trees stay reachable for the other users a test acts as, even
#            below a folder closed to them
#   network  the same and a network of its own (loopback only, port 80 free);
#            HOSTS resolve to 127.0.0.1 there
# XVFB and RUNNER imply network: an X server's sockets must not meet those of
# another. Where the system allows no private namespace such a test is
# skipped. A test without NAMESPACE runs as it is, needing no namespace.
# The command line that runs a test program inside private namespaces, for
# tests registered with add_test directly (a second run of a vell_add_test
# program); the program and its arguments follow it. Set SKIP_RETURN_CODE 77
# on such a test as well.
#   vell_namespace_command(out_var mount|network [HOSTS name ...] [XVFB])
function(vell_namespace_command out_var kind)
    cmake_parse_arguments(ARG "XVFB" "" "HOSTS" ${ARGN})
    set(command ${PROJECT_SOURCE_DIR}/tools/updateserver/run-in-netns.sh
                --open-for-others ${CMAKE_BINARY_DIR} --open-for-others ${CMAKE_SOURCE_DIR})
    if(kind STREQUAL "mount")
        if(ARG_HOSTS OR ARG_XVFB)
            message(FATAL_ERROR "HOSTS and XVFB need NAMESPACE network")
        endif()
        list(APPEND command --share-network)
    elseif(NOT kind STREQUAL "network")
        message(FATAL_ERROR "NAMESPACE is mount or network, not ${kind}")
    endif()
    foreach(host IN LISTS ARG_HOSTS)
        list(APPEND command --host ${host})
    endforeach()
    if(ARG_XVFB)
        list(APPEND command --xvfb)
    endif()
    list(APPEND command --)
    set(${out_var} ${command} PARENT_SCOPE)
endfunction()

function(vell_add_test)
    cmake_parse_arguments(ARG "XVFB" "NAME;TIMEOUT;NAMESPACE" "SOURCES;LIBS;ENV;LABELS;RUNNER;HOSTS"
                          ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE Qt5::Test ${ARG_LIBS})
    # Q_ASSERT is compiled out with QT_NO_DEBUG (every build type but Debug);
    # a test wants it to fire.
    target_compile_definitions(${ARG_NAME} PRIVATE QT_FORCE_ASSERTS)
    vell_set_runpath(${ARG_NAME})

    if(ARG_XVFB OR ARG_RUNNER)
        if(ARG_NAMESPACE STREQUAL "mount")
            message(FATAL_ERROR "${ARG_NAME}: an X server needs NAMESPACE network")
        endif()
        set(ARG_NAMESPACE network)
    endif()
    set(command)
    if(ARG_NAMESPACE)
        set(xvfb)
        if(ARG_XVFB)
            set(xvfb XVFB)
        endif()
        vell_namespace_command(command ${ARG_NAMESPACE} HOSTS ${ARG_HOSTS} ${xvfb})
    endif()
    if(ARG_XVFB OR ARG_RUNNER)
        set(platform "QT_QPA_PLATFORM=xcb")
    else()
        set(platform "QT_QPA_PLATFORM=offscreen")
    endif()
    add_test(NAME ${ARG_NAME} COMMAND ${command} ${ARG_RUNNER} $<TARGET_FILE:${ARG_NAME}>)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${ARG_NAME} PROPERTIES
        ENVIRONMENT "${platform};VELL_BUILD_DIR=${CMAKE_BINARY_DIR};VELL_SOURCE_DIR=${CMAKE_SOURCE_DIR};${ARG_ENV}"
        TIMEOUT ${ARG_TIMEOUT})
    if(ARG_NAMESPACE)
        set_tests_properties(${ARG_NAME} PROPERTIES SKIP_RETURN_CODE 77)
    endif()
    if(ARG_LABELS)
        set_tests_properties(${ARG_NAME} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()
