# The installed program folder every end-to-end test starts from. The fixture
# test installs the build into KIV_E2E_PREFIX; each test then copies it to a
# folder of its own (new_program_folder.sh), because a run writes work folders,
# settings and a lock file into its program folder and tests run in parallel.
#
#   set_tests_properties(<test> PROPERTIES FIXTURES_REQUIRED e2e_program
#     ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX}")
#   dir=$(bash ${KIV_E2E_NEW_FOLDER_SCRIPT})   # a fresh copy, in a temp folder
set(KIV_E2E_PREFIX ${CMAKE_BINARY_DIR}/e2e/program)
set(KIV_E2E_NEW_FOLDER_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/new_program_folder.sh)

add_test(NAME e2e.install
  COMMAND ${CMAKE_COMMAND} -E env
          ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${KIV_E2E_PREFIX})
set_tests_properties(e2e.install PROPERTIES
  FIXTURES_SETUP e2e_program
  TIMEOUT 120
  LABELS "e2e")

# The Linux rescue system that every CD built by the end-to-end tests carries:
# built once a run into the installed program folder (reused when its package
# list is unchanged), then hard-linked into each test's copy. The packages it
# fetched are kept for the offline build's check.
set(KIV_E2E_RESCUE_PACKAGES ${CMAKE_BINARY_DIR}/e2e/rescue-packages)
add_test(NAME e2e.rescue_system
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/rescue_system.sh ${KIV_E2E_RESCUE_PACKAGES})
set_tests_properties(e2e.rescue_system PROPERTIES
  FIXTURES_SETUP e2e_program
  DEPENDS e2e.install
  ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX}"
  TIMEOUT 1800
  LABELS "e2e;rescue")
