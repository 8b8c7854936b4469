# The QEMU harness the boot tests use (keys through the monitor, serial
# output read back) checked against a boot sector that echoes its keys.
find_program(KIV_NASM nasm)
if(KIV_NASM)
  add_test(NAME boot.qemu_session COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/qemu_session_check.sh)
  set_tests_properties(boot.qemu_session PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 90 LABELS "e2e;boot")
endif()
