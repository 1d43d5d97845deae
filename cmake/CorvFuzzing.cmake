# corv_add_fuzzer(name SOURCES ... [INCLUDES ...] [DEFINES ...] [QT Core Network ...]
#                 [LINK ...] [AUTOGEN_OF target] [DEPENDS ...] [SECONDS n] [SEEDS dir] [MALLOC_MB n])
#
# MALLOC_MB is libFuzzer's limit for one allocation (default 64).
#
# A libFuzzer target built with clang++ (address and undefined-behaviour checks) into
# ${CMAKE_BINARY_DIR}/fuzz, and a ctest entry "<name>" (label "fuzz") that runs it for SECONDS
# (default 5) on a fresh corpus. The main build uses g++, so every source the target needs is
# compiled here again in one clang++ call:
#   SOURCES     the fuzz entry point and the sources under test
#   INCLUDES    include folders; DEFINES preprocessor definitions (NAME or NAME=VALUE)
#   QT          Qt 5 modules whose headers and libraries the sources use
#   LINK        further linker arguments (-lproj, a library file)
#   AUTOGEN_OF  a target of the main build whose moc output is compiled in (Q_OBJECT classes)
#   DEPENDS     files or targets to build first (generated headers)
# Skipped cleanly when clang++ is missing.
find_program(CORV_CLANGXX NAMES clang++ clang++-14)
set(CORV_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz)

function(corv_add_fuzzer name)
  cmake_parse_arguments(F "" "AUTOGEN_OF;SECONDS;SEEDS;MALLOC_MB"
                        "SOURCES;INCLUDES;DEFINES;QT;LINK;DEPENDS" ${ARGN})
  if(NOT F_SECONDS)
    set(F_SECONDS 5)
  endif()
  if(NOT CORV_CLANGXX)
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "clang++ not found: fuzzing skipped")
    set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "fuzzing skipped" LABELS fuzz)
    return()
  endif()

  set(binary ${CORV_FUZZ_DIR}/${name})
  set(sources)
  foreach(src IN LISTS F_SOURCES)
    get_filename_component(abs ${src} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND sources ${abs})
  endforeach()
  set(flags)
  foreach(dir IN LISTS F_INCLUDES)
    get_filename_component(abs ${dir} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND flags -I${abs})
  endforeach()
  foreach(def IN LISTS F_DEFINES)
    list(APPEND flags -D${def})
  endforeach()
  set(libs)
  set(deps ${F_DEPENDS})
  foreach(module IN LISTS F_QT)
    list(APPEND flags "-I$<JOIN:$<TARGET_PROPERTY:Qt5::${module},INTERFACE_INCLUDE_DIRECTORIES>,$<SEMICOLON>-I>")
    list(APPEND libs $<TARGET_FILE:Qt5::${module}>)
  endforeach()
  if(F_QT)
    list(APPEND flags -fPIC)
  endif()
  if(F_AUTOGEN_OF)
    get_target_property(autogen_bin ${F_AUTOGEN_OF} BINARY_DIR)
    set(autogen ${autogen_bin}/${F_AUTOGEN_OF}_autogen)
    list(APPEND sources ${autogen}/mocs_compilation.cpp)
    list(APPEND flags -I${autogen}/include)
    list(APPEND deps ${F_AUTOGEN_OF})
  endif()
  add_custom_command(
    OUTPUT ${binary}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CORV_FUZZ_DIR}
    COMMAND ${CORV_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
            -fno-sanitize-recover=undefined -w ${flags} ${sources} ${libs} ${F_LINK} -lpthread
            -o ${binary}
    DEPENDS ${sources} ${deps}
    COMMENT "Building the fuzz target ${name} with clang++"
    COMMAND_EXPAND_LISTS
    VERBATIM)
  add_custom_target(${name}_build ALL DEPENDS ${binary})
  set(seed_arg)
  if(F_SEEDS)
    get_filename_component(seeds ${F_SEEDS} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set(seed_arg -DSEEDS=${seeds})
  endif()
  if(NOT F_MALLOC_MB)
    set(F_MALLOC_MB 64)
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -DFUZZER=${binary} -DWORK=${CORV_FUZZ_DIR}/${name}.run
            -DSECONDS=${F_SECONDS} -DMALLOC_MB=${F_MALLOC_MB} ${seed_arg} -P ${CMAKE_SOURCE_DIR}/cmake/RunFuzzer.cmake)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS fuzz)
endfunction()
