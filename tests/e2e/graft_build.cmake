# Sources mapped into the ISO from where they lie against sources copied into
# the work tree: the same CD from the same settings, and no source bytes in
# the work tree.
if(NOT TARGET discsmith)
  return()
endif()
add_test(NAME e2e.graft_build COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/graft_build.sh)
set_tests_properties(e2e.graft_build PROPERTIES
  FIXTURES_REQUIRED e2e_program
  ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
  SKIP_RETURN_CODE 77
  TIMEOUT 300
  LABELS "e2e;cd")
