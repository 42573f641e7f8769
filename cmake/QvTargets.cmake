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
function(qv_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
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

# Targets that build every test binary of one label (qv_tests_all: every test).
# Called once, after every test (and fuzz replay) has been added.
function(qv_test_groups)
    foreach(label all tsan unit files display)
        get_property(tests GLOBAL PROPERTY QV_TESTS_${label})
        add_custom_target(qv_tests_${label})
        if(tests)
            add_dependencies(qv_tests_${label} ${tests})
        endif()
    endforeach()
endfunction()
