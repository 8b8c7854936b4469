# The main job end to end on the installed program folder: the demo CD with
# QEMU boots, reproducible floppies, every shipped disk, the Windows setup
# steps on stand-in CDs, the failure paths a user meets, and the README's
# example of menu entries of one's own.
if(NOT TARGET discsmith OR NOT TARGET bootsmith)
  return()
endif()
foreach(case demo reproducible disks setup_cd failures readme_menu)
  add_test(NAME e2e.main_job.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/main_job.sh ${case})
  set_tests_properties(e2e.main_job.${case} PROPERTIES
    FIXTURES_REQUIRED e2e_program
    ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 600
    LABELS "e2e;main_job")
endforeach()
