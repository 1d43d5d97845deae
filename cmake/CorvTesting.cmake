# corv_add_test(name SOURCES ... [LIBS ...] [GUI] [XVFB] [QT] [TIMEOUT s] [LABELS ...])
#
# One GoogleTest executable, one ctest entry.
#   QT    the test main makes a QCoreApplication (the default makes none)
#   GUI   the test main makes a QApplication, run with QT_QPA_PLATFORM=offscreen
#   XVFB  like GUI, but on the xcb platform under an X server of its own (embedding, screenshots)
# Every test gets its own CORV_WINROOT and DREMM_PIPE_DIR below the build tree, so tests can run
# side by side without meeting each other's files, and runs in a network namespace of its own
# (cmake/run_in_netns.sh), so the installation's fixed ports it binds are free beside a running
# program.
function(corv_add_test name)
  set(corv_netns ${CMAKE_SOURCE_DIR}/cmake/run_in_netns.sh)
  cmake_parse_arguments(T "GUI;XVFB;QT" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  corv_warnings(${name})
  set_target_properties(${name} PROPERTIES AUTOMOC ON RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_GUI OR T_XVFB)
    target_link_libraries(${name} PRIVATE corv_test_main_gui)
  elseif(T_QT)
    target_link_libraries(${name} PRIVATE corv_test_main_qt)
  else()
    target_link_libraries(${name} PRIVATE corv_test_main)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  target_compile_options(${name} PRIVATE -include ${CMAKE_SOURCE_DIR}/Platform/TestSupport/qt_printers.h)

  set(scratch ${CMAKE_BINARY_DIR}/test-scratch/${name})
  set(env
    "CORV_WINROOT=${scratch}/root"
    "DREMM_PIPE_DIR=${scratch}/pipes"
    "CORV_TEST_SCRATCH=${scratch}"
    "CORV_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
    "CORV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    # Settings, web-engine profiles and caches of the test, not of the user's running program.
    "XDG_CONFIG_HOME=${scratch}/config"
    "XDG_DATA_HOME=${scratch}/data"
    "XDG_CACHE_HOME=${scratch}/cache"
    ${T_ENVIRONMENT})
  list(APPEND env ${CORV_SANITIZE_ENV})
  if(T_XVFB)
    find_program(CORV_XVFB Xvfb REQUIRED)
    if(CORV_SANITIZE)
      # Mesa unloads its software driver before the leak check, so the driver's own leaks lose
      # their module name and escape cmake/lsan.supp; kept loaded, they stay reachable.
      find_file(CORV_MESA_SWRAST swrast_dri.so PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri /usr/lib/dri NO_DEFAULT_PATH)
      if(CORV_MESA_SWRAST)
        list(APPEND env "LD_PRELOAD=${CORV_MESA_SWRAST}")
      endif()
    endif()
    add_test(NAME ${name} COMMAND ${corv_netns} ${CMAKE_SOURCE_DIR}/cmake/run_under_xvfb.sh 1600x1000x24 $<TARGET_FILE:${name}>)
    list(APPEND env "QT_QPA_PLATFORM=xcb")
  else()
    add_test(NAME ${name} COMMAND ${corv_netns} $<TARGET_FILE:${name}>)
    if(T_GUI)
      list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()
