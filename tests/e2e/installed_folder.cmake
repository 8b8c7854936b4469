# The installed program folder: stripped programs, and its size.
add_test(NAME e2e.installed_folder COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/installed_folder.sh)
set_tests_properties(e2e.installed_folder PROPERTIES
  FIXTURES_REQUIRED e2e_program
  ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX}"
  SKIP_RETURN_CODE 77
  TIMEOUT 60
  LABELS "e2e")
