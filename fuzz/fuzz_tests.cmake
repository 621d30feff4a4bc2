# Included by the top-level CMakeLists when TAVEX_FUZZ is on: builds the libFuzzer
# targets with clang (fuzz/CMakeLists.txt, a project of its own, in <build>/fuzz)
# and runs each briefly under ctest, label "fuzz", over its seed corpus.
find_program(TAVEX_CLANGXX NAMES clang++ REQUIRED)
find_program(TAVEX_CLANG NAMES clang REQUIRED)
include(ExternalProject)
ExternalProject_Add(tavex_fuzzers
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/fuzz
  BINARY_DIR ${PROJECT_BINARY_DIR}/fuzz
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${TAVEX_CLANGXX} -DCMAKE_C_COMPILER=${TAVEX_CLANG}
             -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")

set(TAVEX_FUZZ_RUNS 2000 CACHE STRING "Inputs each fuzz target tries under ctest (at most 10 s)")
foreach(target xml_reader validation conversions signature)
  add_test(NAME fuzz_${target}
           COMMAND ${PROJECT_SOURCE_DIR}/fuzz/fuzz-briefly.sh ${PROJECT_BINARY_DIR}/fuzz ${target} ${TAVEX_FUZZ_RUNS})
  set_tests_properties(fuzz_${target} PROPERTIES LABELS fuzz TIMEOUT 120)
endforeach()
