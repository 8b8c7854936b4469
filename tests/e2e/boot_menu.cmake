# The CD's boot menu in QEMU: password, the menu of main.cds and each kind of
# entry, on CDs built by discsmith --build in copies of the installed program
# folder.
if(NOT TARGET discsmith OR NOT TARGET bootsmith)
  return()
endif()
foreach(case demo tools sector respaced serial_mouse freedos)
  add_test(NAME e2e.boot_menu.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/boot_menu.sh ${case})
  set_tests_properties(e2e.boot_menu.${case} PROPERTIES
    FIXTURES_REQUIRED e2e_program
    ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    SKIP_RETURN_CODE 77
    TIMEOUT 240
    LABELS "e2e;qemu")
endforeach()
