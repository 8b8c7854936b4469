# Stopped and killed runs (SIGTERM to discsmith --build and to a bootsmith
# batch run, SIGKILL to discsmith --build), a tree copy that runs out of
# room and full disks, on the installed program folder.
if(NOT TARGET discsmith OR NOT TARGET bootsmith)
  return()
endif()
foreach(case stop_cd stop_disk full_copy pipe kill_cd full_disk)
  add_test(NAME e2e.interrupted.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/interrupted_build.sh ${case})
  set_tests_properties(e2e.interrupted.${case} PROPERTIES
    FIXTURES_REQUIRED e2e_program
    ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 600
    LABELS "e2e;interrupted")
endforeach()
