# libFuzzer targets of the updater's readers of untrusted input (the server's
# answer, package descriptors, the components registry, minisign files).
#
# With VELL_FUZZ ON every C++ file of this build folder is compiled with
# libFuzzer's coverage and the address and undefined-behaviour sanitizers, so
# the targets see the readers' branches and memory. Use a build folder of its
# own for it (scripts/fuzz.sh makes build-fuzz/) and build only the targets:
#   cmake --build build-fuzz --target vell-fuzzers
option(VELL_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(VELL_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR
            "VELL_FUZZ needs clang as the C++ compiler (libFuzzer is part of clang), "
            "but this build uses ${CMAKE_CXX_COMPILER_ID} (${CMAKE_CXX_COMPILER}). Configure a "
            "fresh build folder with -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang, "
            "or run scripts/fuzz.sh.")
    endif()
    add_compile_options(
        $<$<COMPILE_LANGUAGE:CXX>:-fsanitize=fuzzer-no-link,address,undefined>
        $<$<COMPILE_LANGUAGE:CXX>:-fno-sanitize-recover=undefined>
        $<$<COMPILE_LANGUAGE:CXX>:-fno-omit-frame-pointer>)
    add_link_options(-fsanitize=address,undefined)
    # A failed Q_ASSERT is a finding too, whatever the build type.
    add_compile_definitions(QT_FORCE_ASSERTS)
    add_custom_target(vell-fuzzers)
endif()

# vell_add_fuzzer(NAME fuzz_foo SOURCES fuzz_foo.cpp LIBS Vell::Foo)
# One libFuzzer program, built with the target vell-fuzzers.
function(vell_add_fuzzer)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${ARG_NAME} EXCLUDE_FROM_ALL ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS})
    target_link_options(${ARG_NAME} PRIVATE -fsanitize=fuzzer)
    add_dependencies(vell-fuzzers ${ARG_NAME})
endfunction()
