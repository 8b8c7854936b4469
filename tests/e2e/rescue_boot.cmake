# The demo CD's Linux rescue system booted in QEMU as a rescue is done: under
# SeaBIOS, OVMF and OVMF with Secure Boot, each from the CD and from the
# stick (the plain OVMF stick copied into memory); each copies a document off
# an NTFS partition on NVMe onto a USB stick. The rescue system is built once
# a run by the e2e.rescue_system fixture (00_program_folder.cmake), the two
# CDs the boots start once by e2e.rescue_cds.
if(NOT TARGET discsmith OR NOT TARGET bootsmith)
  return()
endif()
set(KIV_E2E_RESCUE_CDS ${CMAKE_BINARY_DIR}/e2e/rescue-cds)
add_test(NAME e2e.rescue_cds COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/rescue_cds.sh ${KIV_E2E_RESCUE_CDS})
set_tests_properties(e2e.rescue_cds PROPERTIES
  FIXTURES_SETUP e2e_rescue_cds
  FIXTURES_REQUIRED e2e_program
  ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
  TIMEOUT 900
  LABELS "e2e;rescue")
foreach(case secureboot bios stick uefi bios_stick secureboot_stick)
  add_test(NAME e2e.rescue_boot.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/rescue_boot.sh ${case})
  set_tests_properties(e2e.rescue_boot.${case} PROPERTIES
    FIXTURES_REQUIRED "e2e_program;e2e_rescue_cds"
    ENVIRONMENT "KIV_E2E_RESCUE_CDS=${KIV_E2E_RESCUE_CDS};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    SKIP_RETURN_CODE 77
    TIMEOUT 900
    LABELS "e2e;qemu;rescue")
endforeach()

# Built again without a network from the packages the fixture kept.
add_test(NAME e2e.rescue_offline
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/rescue_offline.sh ${KIV_E2E_RESCUE_PACKAGES})
set_tests_properties(e2e.rescue_offline PROPERTIES
  FIXTURES_REQUIRED e2e_program
  ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX}"
  TIMEOUT 1800
  LABELS "e2e;rescue")
