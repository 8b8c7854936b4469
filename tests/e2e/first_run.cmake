# The CD builder's wizard on a freshly installed program folder, as on a
# first run (no settings file): the defaults it offers pass its own checks.
if(NOT TARGET cdtool)
  return()
endif()
add_executable(first_run_tests ${CMAKE_CURRENT_SOURCE_DIR}/first_run_test.cpp
                               ${PROJECT_SOURCE_DIR}/cmake/kiv_test_main.cpp)
target_compile_definitions(first_run_tests PRIVATE KIV_BUILD_DIR="${CMAKE_BINARY_DIR}")
target_link_libraries(first_run_tests PRIVATE cdtool testsupport GTest::gtest GTest::gmock)
gtest_discover_tests(first_run_tests
  DISCOVERY_MODE PRE_TEST
  TEST_PREFIX "e2e.first_run."
  PROPERTIES FIXTURES_REQUIRED e2e_program
             ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX}"
             TIMEOUT 120
             LABELS "e2e")
