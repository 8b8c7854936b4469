# Boot checks: the CD template's files and boot code, and QEMU boots of a CD
# mastered from the template and of floppies carrying our boot sector and the
# DOS stand-ins, with the stand-in IO.SYS or a FreeDOS kernel stand-in
# (tests/e2e/kernel_probe.asm) as IO.SYS (directly and through memdisk). The
# QEMU tests skip (exit 77, reason printed) when qemu-system-i386 is missing.
#
# Other end-to-end tests boot what they built through the same script (it
# needs no environment for these two):
#   bash ${KIV_BOOT_CHECK_SCRIPT} iso <file.iso> [expected text]
#   bash ${KIV_BOOT_CHECK_SCRIPT} floppy <file.img> [expected text]
# exit 77 means skipped (qemu missing): set SKIP_RETURN_CODE 77 on such tests.
set(KIV_BOOT_CHECK_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/boot_check.sh)

get_property(KIV_BOOT_BIN_DIR GLOBAL PROPERTY KIV_BOOT_BIN_DIR)
get_property(kiv_boot_disk_data GLOBAL PROPERTY KIV_DISK_DATA_DIR)
get_property(kiv_gate_layout GLOBAL PROPERTY KIV_GATE_LAYOUT_INC)
if(NOT KIV_BOOT_BIN_DIR)
  return()
endif()

set(KIV_BOOT_CHECK_ENV
  "KIV_BOOT_BIN_DIR=${KIV_BOOT_BIN_DIR}"
  "KIV_GATE_LAYOUT=${kiv_gate_layout}"
  "KIV_TEMPLATE_DIR=${CMAKE_SOURCE_DIR}/data/files/kivcd"
  "KIV_BFI=$<$<TARGET_EXISTS:bfi>:$<TARGET_FILE:bfi>>"
  "KIV_DOS_DIR=${kiv_boot_disk_data}/dos"
  "KIV_CD_TEST_TOOL=${KIV_CD_TEST_TOOL}")

# check:timeout in seconds (cd_password boots six times, old_bios four).
foreach(entry template:60 boot_files:60 cd_boot:90 cd_password:150 old_bios:150 bochs_cd:90 floppy_boot:60
        floppy_memdisk:60 floppy_failures:90 kernel_boot:90 kernel_memdisk:90 kernel_failures:120 bochs_kernel:150 patched_sector_boot:60 cd_serial_mouse:120 sha256:60)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 check)
  list(GET entry 1 timeout)
  add_test(NAME boot.${check} COMMAND bash ${KIV_BOOT_CHECK_SCRIPT} ${check})
  set_tests_properties(boot.${check} PROPERTIES
    ENVIRONMENT "${KIV_BOOT_CHECK_ENV}"
    SKIP_RETURN_CODE 77
    TIMEOUT ${timeout}
    LABELS "e2e;boot")
endforeach()
