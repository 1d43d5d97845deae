# Runs the codec reader fuzz target for SECONDS seconds on a corpus seeded from its golden vectors.
# -D FUZZER=<binary> -D WORK=<folder> -D SECONDS=<n>
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
set(ENV{ORLEX_FUZZ_SEED_DIR} ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -malloc_limit_mb=16 -rss_limit_mb=2048 -timeout=10
          -print_final_stats=1 -artifact_prefix=${WORK}/artifacts/ ${WORK}/corpus
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the reader fuzz target failed (${result}); the input is in ${WORK}/artifacts")
endif()
