# kiv_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable registered with CTest, test by test. Its main()
# (kiv_test_main.cpp) sets QT_QPA_PLATFORM=offscreen, KIVCD_UI=console and
# KIV_BUILD_DIR, so no test ever waits for a window or a keyboard.
function(kiv_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT KIV_TESTS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/kiv_test_main.cpp)
  target_compile_definitions(${name} PRIVATE KIV_BUILD_DIR="${CMAKE_BINARY_DIR}")
  # The tests' own code is built for a quick compile, not for speed: what
  # they test keeps the build type's optimisation in its libraries, the test
  # bodies (hundreds of expanded assertions) are not worth optimising, and
  # line tables are all a failure's backtrace needs. This halves the build of
  # the tests, more under the sanitizers.
  target_compile_options(${name} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O0 -g1>)
  if(KIV_PRECOMPILED_HEADERS)
    target_precompile_headers(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/test_precompiled.h)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT 300)
endfunction()

# Installs a program into the program folder itself.
function(kiv_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${KIV_PROGRAM_DIR})
endfunction()

# kiv_glob_subsystems(<sources var> <tests var> <folder>...): the .cpp files of
# a program's subsystem folders, its tests (*_test.cpp) apart.
function(kiv_glob_subsystems sources tests)
  set(found)
  foreach(sub ${ARGN})
    file(GLOB sub_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
    list(APPEND found ${sub_files})
  endforeach()
  set(test_files ${found})
  list(FILTER test_files INCLUDE REGEX "_test\\.cpp$")
  list(FILTER found EXCLUDE REGEX "(_test|_fuzz)\\.cpp$")
  set(${sources} ${found} PARENT_SCOPE)
  set(${tests} ${test_files} PARENT_SCOPE)
endfunction()
