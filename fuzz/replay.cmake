# The fuzz targets in the test suite (included from tests/CMakeLists.txt).
#
# fuzz.replay.<target>: each target's LLVMFuzzerTestOneInput, built with the normal compiler and
#   the build's sanitizers behind fuzz/replay_main.cpp, run once over its seed corpus and its saved
#   regressions. It needs no clang, so past faults stay fixed on every build.
# fuzz.smoke: where clang++ with libFuzzer is available, fuzz/run.sh builds the real targets in
#   the build tree, replays corpus and regressions through them and fuzzes each briefly; it is
#   skipped (exit 77) without clang.
set(ORVALIS_FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)
foreach(target fuzz_walk fuzz_debug_walk fuzz_dictionary_and_walk fuzz_text_readers fuzz_gzip fuzz_input_list
               fuzz_manifest_walk fuzz_asn1_modules)
  add_executable(orvalis_replay_${target} ${ORVALIS_FUZZ_DIR}/${target}.cpp ${ORVALIS_FUZZ_DIR}/replay_main.cpp)
  target_include_directories(orvalis_replay_${target} PRIVATE ${ORVALIS_FUZZ_DIR})
  target_link_libraries(orvalis_replay_${target} PRIVATE orvalis_core)
  add_test(NAME fuzz.replay.${target}
           COMMAND orvalis_replay_${target} ${ORVALIS_FUZZ_DIR}/corpus/${target}
                   ${ORVALIS_FUZZ_DIR}/regressions/${target})
endforeach()

add_test(NAME fuzz.smoke
         COMMAND ${CMAKE_COMMAND} -E env FUZZ_SECONDS=8
                 bash ${ORVALIS_FUZZ_DIR}/run.sh ${CMAKE_BINARY_DIR}/fuzz-smoke)
set_tests_properties(fuzz.smoke PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 480 RUN_SERIAL TRUE)
