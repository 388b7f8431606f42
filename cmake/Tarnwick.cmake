# Test executables live apart from bin/ so that $ORIGIN never hands them the
# real CANopen library by accident: each test says which library it loads.
set(TARNWICK_TEST_DIR ${CMAKE_BINARY_DIR}/tests/bin)
set(TARNWICK_DOUBLE_DIR ${CMAKE_BINARY_DIR}/tests/double)

# Every test executable is declared with this one function:
# tarnwick_test(NAME SOURCES ... LIBS ... [LIBRARY double|real|none]
#               [PER_CASE PREFIX] [OWN_MAIN] [LABELS ...] [TIMEOUT s] [ENVIRONMENT ...])
# LIBRARY double: "QEL_COPN.dll" resolves to the recording test double.
# LIBRARY real:   it resolves to the real library in bin/.
# LIBRARY none:   (the default) no library is found at all.
# PER_CASE:       every case runs in a process of its own, named PREFIX.Suite.Case
#                 (Qt's virtual bus and the library's I/O thread keep
#                 per-process state); otherwise the executable is one test.
# OWN_MAIN:       the sources bring their main (an application object first).
function(tarnwick_test name)
  cmake_parse_arguments(T "OWN_MAIN" "LIBRARY;TIMEOUT;PER_CASE" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TARNWICK_TEST_DIR})
  if(T_LIBRARY STREQUAL "double")
    set_target_properties(${name} PROPERTIES BUILD_RPATH "${TARNWICK_DOUBLE_DIR}")
    add_dependencies(${name} QEL_COPN_double)
  elseif(T_LIBRARY STREQUAL "real")
    set_target_properties(${name} PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/bin")
    add_dependencies(${name} QEL_COPN)
  elseif(T_LIBRARY AND NOT T_LIBRARY STREQUAL "none")
    message(FATAL_ERROR "tarnwick_test(${name}): LIBRARY is double, real or none")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # Widgets run offscreen in tests; nothing needs a display.
  set(environment "QT_QPA_PLATFORM=offscreen;TARNWICK_BUILD_DIR=${CMAKE_BINARY_DIR};${T_ENVIRONMENT}")
  if(T_PER_CASE)
    include(GoogleTest)
    # The cases' properties pass through a generated script that splits
    # lists, so a case gets one variable: the given one, or the platform.
    set(environment "QT_QPA_PLATFORM=offscreen")
    if(T_ENVIRONMENT)
      set(environment "${T_ENVIRONMENT}")
    endif()
    set(labels)
    if(T_LABELS)
      set(labels LABELS "${T_LABELS}")
    endif()
    gtest_discover_tests(${name} TEST_PREFIX "${T_PER_CASE}." DISCOVERY_MODE PRE_TEST
      PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${environment}" ${labels})
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${environment}")
    if(T_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
  endif()
endfunction()
