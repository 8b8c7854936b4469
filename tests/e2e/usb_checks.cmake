# The CD on a USB stick and in a virtual machine (usb_check.sh): the hybrid ISO
# booted as a CD, a USB stick and an IDE disk, the password from the stick,
# the build's hybrid step, a UEFI boot image on the stick, --write-usb on a loop device or a test file, and
# --try with a recording stand-in for QEMU. QEMU checks skip (77) without it.
if(NOT TARGET discsmith)
  return()
endif()
foreach(entry hybrid_boot:150 usb_password:120 build_hybrid:150 efi_stick:150 write_usb:120 try:60)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 check)
  list(GET entry 1 timeout)
  add_test(NAME e2e.usb.${check} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/usb_check.sh ${check})
  set_tests_properties(e2e.usb.${check} PROPERTIES
    FIXTURES_REQUIRED e2e_program
    ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_CD_TEST_TOOL=${KIV_CD_TEST_TOOL}"
    SKIP_RETURN_CODE 77
    TIMEOUT ${timeout}
    LABELS "e2e;usb")
endforeach()
