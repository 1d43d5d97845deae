# Runs a libFuzzer target for SECONDS seconds on a fresh corpus.
# -D FUZZER=<binary> -D WORK=<folder> -D SECONDS=<n> [-D SEEDS=<folder>] [-D MALLOC_MB=<n>]
# The target may write seed files itself into $CORV_FUZZ_SEED_DIR (also $ORLEX_FUZZ_SEED_DIR);
# files of SEEDS, when given, are copied into the corpus first.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
if(SEEDS AND IS_DIRECTORY ${SEEDS})
  file(GLOB seed_files ${SEEDS}/*)
  if(seed_files)
    file(COPY ${seed_files} DESTINATION ${WORK}/corpus)
  endif()
endif()
set(ENV{CORV_FUZZ_SEED_DIR} ${WORK}/corpus)
set(ENV{ORLEX_FUZZ_SEED_DIR} ${WORK}/corpus)
set(ENV{QT_QPA_PLATFORM} offscreen)
if(NOT MALLOC_MB)
  set(MALLOC_MB 64)
endif()
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -malloc_limit_mb=${MALLOC_MB} -rss_limit_mb=2048 -timeout=10
          -print_final_stats=1 -artifact_prefix=${WORK}/artifacts/ ${WORK}/corpus
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the fuzz target failed (${result}); the input is in ${WORK}/artifacts")
endif()
