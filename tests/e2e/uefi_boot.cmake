# The CD's UEFI boot menu in QEMU with OVMF: from the CD, from a USB stick,
# and with Secure Boot, on CDs built by discsmith --build in copies of the
# installed program folder.
if(NOT TARGET discsmith OR NOT TARGET bootsmith)
  return()
endif()
foreach(case cd stick secureboot)
  add_test(NAME e2e.uefi_boot.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/uefi_boot.sh ${case})
  set_tests_properties(e2e.uefi_boot.${case} PROPERTIES
    FIXTURES_REQUIRED e2e_program
    ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    SKIP_RETURN_CODE 77
    TIMEOUT 600
    LABELS "e2e;qemu")
endforeach()
