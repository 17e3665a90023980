# vexa_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>] [TIMEOUT <s>])
#
# One GoogleTest program whose cases become CTest tests. Every test gets VEXA_ETH_BROADCAST set
# to a loopback address, so a test that forgets to set its own can never reach a real network.
# (One variable only: a second one would not survive the discovery script's list handling.)
# Tests that need a program folder make their own and set VEXA_APPDIR.
function(vexa_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  # Tests configure the simulator with designated initializers that leave defaults in place.
  target_compile_options(${name} PRIVATE -Wno-missing-field-initializers)
  include(GoogleTest)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      LABELS "${T_LABELS}"
      TIMEOUT ${T_TIMEOUT}
      ENVIRONMENT "VEXA_ETH_BROADCAST=127.0.0.1")
endfunction()
