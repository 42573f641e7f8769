# Fuzz targets: one libFuzzer entry point (LLVMFuzzerTestOneInput) in one source file each.
#   qv_fuzz_target(<name> SOURCES <file.cpp> [DEPS <libraries>...])
# Every tree builds fuzz_replay_<name>, a unit test that runs each input kept in
# fuzz/corpus/<name> (seeds) and fuzz/regressions/<name> (every input that ever failed) once
# through the entry point, so the ordinary suite replays them without clang. The fuzz tree
# (QV_FUZZ on, clang) also builds the fuzzer fuzz_<name>, which scripts/fuzz runs from
# those inputs.

if(QV_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "QV_FUZZ needs clang for libFuzzer (CXX=clang++)")
    endif()
    add_custom_target(qv_fuzz_all)
endif()

function(qv_fuzz_target name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    if(QV_FUZZ)
        add_executable(fuzz_${name} ${ARG_SOURCES})
        target_link_libraries(fuzz_${name} PRIVATE qv_options qv_fuzz_support ${ARG_DEPS})
        target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
        add_dependencies(qv_fuzz_all fuzz_${name})
        set_property(GLOBAL APPEND PROPERTY QV_FUZZ_TARGETS ${name})
    endif()
    qv_test(fuzz_replay_${name}
        SOURCES ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/support/ReplayTest.cpp
        DEPS qv_fuzz_support ${ARG_DEPS}
        LABELS unit)
    target_compile_definitions(fuzz_replay_${name} PRIVATE
        QV_FUZZ_TARGET="${name}" QV_FUZZ_INPUTS="${PROJECT_SOURCE_DIR}/fuzz")
endfunction()

# Writes the names of the fuzz tree's targets, one a line, to fuzz-targets.txt in the build
# folder (scripts/fuzz reads it). Called once, after fuzz/ has been added.
function(qv_fuzz_target_list)
    get_property(targets GLOBAL PROPERTY QV_FUZZ_TARGETS)
    list(JOIN targets "\n" text)
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz-targets.txt "${text}\n")
endfunction()
