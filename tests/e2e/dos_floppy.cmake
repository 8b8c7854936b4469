# The Windows Setup Assistant floppy's batch side under DOSBox: the module
# loader, the CD-ROM module and the setup launchers, with and without a
# cabinet extractor in the DOS files, and with DOS files imported from
# FreeDOS. Skips (exit 77, reason printed) when
# dosbox is missing.
if(NOT TARGET bootsmith)
  return()
endif()
foreach(case cabs unpacked freedos)
  add_test(NAME e2e.dos_floppy.${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/dos_floppy.sh ${case})
  set_tests_properties(e2e.dos_floppy.${case} PROPERTIES
    FIXTURES_REQUIRED e2e_program
    ENVIRONMENT "KIV_E2E_PREFIX=${KIV_E2E_PREFIX};KIV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    SKIP_RETURN_CODE 77
    TIMEOUT 180
    LABELS "e2e;dos")
endforeach()
