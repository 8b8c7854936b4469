# bootsmith as a process, in console mode, on a program folder assembled from
# the built programs and the shipped data: the command-line cases, the single
# instance, and full batch builds checked with fsck.fat and mtools.
if(NOT TARGET bootsmith OR NOT TARGET bfi OR NOT TARGET cabarc OR NOT TARGET kivmax)
  return()
endif()
get_property(kiv_e2e_disk_data GLOBAL PROPERTY KIV_DISK_DATA_DIR)
get_property(kiv_e2e_boot_bin GLOBAL PROPERTY KIV_BOOT_BIN_DIR)
if(NOT kiv_e2e_disk_data OR NOT kiv_e2e_boot_bin)
  return()
endif()

set(KIV_BOOTSMITH_E2E_ENV
  "BOOTSMITH=$<TARGET_FILE:bootsmith>"
  "BFI=$<TARGET_FILE:bfi>"
  "CABARC=$<TARGET_FILE:cabarc>"
  "KIVMAX=$<TARGET_FILE:kivmax>"
  "EXTRACT=$<$<TARGET_EXISTS:extract>:$<TARGET_FILE:extract>>"
  "EXPAND=$<$<TARGET_EXISTS:expand>:$<TARGET_FILE:expand>>"
  "DISK_SRC=${CMAKE_SOURCE_DIR}/data/files"
  "PLUGIN_SRC=${CMAKE_SOURCE_DIR}/data/plugins"
  "DISK_DATA=${kiv_e2e_disk_data}"
  "BOOT_BIN=${kiv_e2e_boot_bin}"
  "KIVCD_UI=console"
  "QT_QPA_PLATFORM=offscreen")

foreach(case command_line single_instance custom_image kivmax_plugin targets select_drivers
        select_drivers_terminal freedos_import)
  add_test(NAME bootsmith.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/bootsmith_e2e.sh ${case})
  set_tests_properties(bootsmith.${case} PROPERTIES
    ENVIRONMENT "${KIV_BOOTSMITH_E2E_ENV}"
    SKIP_RETURN_CODE 77
    TIMEOUT 180
    LABELS "e2e;bootsmith")
endforeach()

# What a build must never destroy or lose, and what it must not print.
foreach(case full_path_target unwritable_folder quiet_tools full_folder)
  add_test(NAME bootsmith.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/bootsmith_e2e.sh ${case})
  set_tests_properties(bootsmith.${case} PROPERTIES
    ENVIRONMENT "${KIV_BOOTSMITH_E2E_ENV}"
    SKIP_RETURN_CODE 77
    TIMEOUT 180
    LABELS "e2e;bootsmith")
endforeach()
