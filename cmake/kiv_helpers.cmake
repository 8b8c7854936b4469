# kiv_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable registered with CTest, test by test. Tests run in
# the build tree with QT_QPA_PLATFORM=offscreen and the console prompter, so no
# test ever waits for a window or a keyboard.
function(kiv_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT KIV_TESTS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KIVCD_UI=console;KIV_BUILD_DIR=${CMAKE_BINARY_DIR}"
               TIMEOUT 300)
endfunction()

# Installs a program into the program folder itself.
function(kiv_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${KIV_PROGRAM_DIR})
endfunction()
