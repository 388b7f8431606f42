# Test executables live apart from bin/ so that $ORIGIN never hands them the
# real CANopen library by accident: each test says which library it loads.
set(TARNWICK_TEST_DIR ${CMAKE_BINARY_DIR}/tests/bin)
set(TARNWICK_DOUBLE_DIR ${CMAKE_BINARY_DIR}/tests/double)

# tarnwick_test(NAME SOURCES ... LIBS ... [LIBRARY double|real] [LABELS ...])
# LIBRARY double: "QEL_COPN.dll" resolves to the recording test double.
# LIBRARY real:   it resolves to the real library in bin/.
function(tarnwick_test name)
  cmake_parse_arguments(T "" "LIBRARY;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TARNWICK_TEST_DIR})
  if(T_LIBRARY STREQUAL "double")
    set_target_properties(${name} PROPERTIES BUILD_RPATH "${TARNWICK_DOUBLE_DIR}")
    add_dependencies(${name} QEL_COPN_double)
  elseif(T_LIBRARY STREQUAL "real")
    set_target_properties(${name} PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/bin")
    add_dependencies(${name} QEL_COPN)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # Widgets run offscreen in tests; nothing needs a display.
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TARNWICK_BUILD_DIR=${CMAKE_BINARY_DIR}")
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
