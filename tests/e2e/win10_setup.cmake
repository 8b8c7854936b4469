# Windows 10/11 setup media: one CD built by discsmith from a stand-in UDF
# ISO image (the build case, a fixture), then its BIOS and UEFI entries in
# QEMU, with Secure Boot too.
if(NOT TARGET discsmith OR NOT TARGET bootsmith)
  return()
endif()
set(KIV_E2E_WIN10 ${CMAKE_BINARY_DIR}/e2e/win10)
set(kiv_win10_env "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR};KIV_E2E_WIN10=${KIV_E2E_WIN10}")
add_test(NAME e2e.win10_setup.build COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/win10_setup.sh build)
set_tests_properties(e2e.win10_setup.build PROPERTIES
  FIXTURES_REQUIRED e2e_program
  FIXTURES_SETUP e2e_win10_cd
  ENVIRONMENT "${kiv_win10_env}"
  SKIP_RETURN_CODE 77
  TIMEOUT 600
  LABELS "e2e;cd")
foreach(case bios uefi secureboot)
  add_test(NAME e2e.win10_setup.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/win10_setup.sh ${case})
  set_tests_properties(e2e.win10_setup.${case} PROPERTIES
    FIXTURES_REQUIRED "e2e_program;e2e_win10_cd"
    ENVIRONMENT "${kiv_win10_env}"
    SKIP_RETURN_CODE 77
    TIMEOUT 300
    LABELS "e2e;qemu")
endforeach()
