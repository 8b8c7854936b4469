# The demo CD's Linux rescue system booted in QEMU as a rescue is done: under
# SeaBIOS, OVMF and OVMF with Secure Boot, each from the CD and from the
# stick (the plain OVMF stick copied into memory); each copies a document off an NTFS partition on NVMe onto a USB stick. The
# rescue system itself is built once per run by the e2e.rescue_system
# fixture (00_program_folder.cmake).
if(NOT TARGET discsmith OR NOT TARGET bootsmith)
  return()
endif()
foreach(case secureboot bios stick uefi bios_stick secureboot_stick)
  add_test(NAME e2e.rescue_boot.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/rescue_boot.sh ${case})
  set_tests_properties(e2e.rescue_boot.${case} PROPERTIES
    FIXTURES_REQUIRED e2e_program
    ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
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
