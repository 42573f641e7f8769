# Project-wide compile settings and the two helpers every folder uses:
#   qv_library(<name> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
#   qv_test(<name> SOURCES ... [DEPS ...] [LABELS ...])

add_library(qv_options INTERFACE)
target_compile_options(qv_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wfloat-conversion -Werror)
target_include_directories(qv_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(QV_FUZZ)
    # Every library is instrumented for coverage and checked by the sanitizers;
    # only the fuzzers themselves link libFuzzer's main (cmake/QvFuzz.cmake).
    target_compile_options(qv_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
        -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(qv_options INTERFACE -fsanitize=address,undefined)
elseif(QV_SANITIZE)
    target_compile_options(qv_options INTERFACE -fsanitize=${QV_SANITIZE} -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
    target_link_options(qv_options INTERFACE -fsanitize=${QV_SANITIZE})
endif()

find_package(Threads REQUIRED)
target_link_libraries(qv_options INTERFACE Threads::Threads)

function(qv_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
    add_library(qv_${name} STATIC ${ARG_SOURCES})
    target_link_libraries(qv_${name} PUBLIC qv_options ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

find_package(GTest REQUIRED)

# One test binary per call; ctest runs each binary as one test, in a QV_HOME of its own.
# Every binary gets the shared test main (tests/support/TestMain.cpp), which makes a
# temporary QV_HOME when the binary is run without ctest.
# A binary's sources are compiled as one unit (a unity build): the tests' headers are
# large, and read once for several files the suite builds in half the time. The files of
# one binary share their anonymous namespace, so their file-level names must differ; g++
# counts each file as an included one there, and its subobject-linkage warning on
# fixtures in an anonymous namespace is off for them.
function(qv_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON)
    # The tests' own code is compiled at -O1 in the optimised tree: the code under test (the
    # libraries) keeps full optimisation, and the test files, mostly assertion macros and
    # set-up, build in about two thirds of the time.
    # In the sanitizer tree (-O1 throughout) they are compiled unoptimised, which builds them
    # in three fifths of the time and checks them as closely.
    if(CMAKE_BUILD_TYPE STREQUAL "Release")
        target_compile_options(${name} PRIVATE -O1)
    elseif(QV_FUZZ)
        target_compile_options(${name} PRIVATE -O0)
    endif()
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${name} PRIVATE -Wno-subobject-linkage)
    endif()
    target_link_libraries(${name} PRIVATE qv_options ${ARG_DEPS} GTest::gtest GTest::gmock
        qv_test_main)
    add_test(NAME ${name} COMMAND ${name})
    set_property(GLOBAL APPEND PROPERTY QV_TESTS_all ${name})
    foreach(label IN LISTS ARG_LABELS)
        set_property(GLOBAL APPEND PROPERTY QV_TESTS_${label} ${name})
    endforeach()
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 600
        ENVIRONMENT "QV_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}-home")
endfunction()

# Targets that build every test binary of one label (qv_tests_all: every test;
# qv_tests_headless: every test but the display tests, which start an X server).
# Called once, after every test (and fuzz replay) has been added.
function(qv_test_groups)
    get_property(all GLOBAL PROPERTY QV_TESTS_all)
    get_property(display GLOBAL PROPERTY QV_TESTS_display)
    set(headless ${all})
    list(REMOVE_ITEM headless ${display})
    set_property(GLOBAL PROPERTY QV_TESTS_headless ${headless})
    foreach(label all headless tsan unit files display)
        get_property(tests GLOBAL PROPERTY QV_TESTS_${label})
        add_custom_target(qv_tests_${label})
        if(tests)
            add_dependencies(qv_tests_${label} ${tests})
        endif()
    endforeach()
endfunction()
