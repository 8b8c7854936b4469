# discsmith --build end to end on a copy of the installed program folder (real
# genisoimage as mkisofs, our dfl, the CD template with its loader) with a
# stub bootsmith; the ISO is checked with isoinfo.
if(NOT TARGET discsmith)
  return()
endif()
find_program(KIV_ISOINFO isoinfo)
get_property(kiv_gate_layout GLOBAL PROPERTY KIV_GATE_LAYOUT_INC)
add_test(NAME e2e.iso_build COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/iso_build.sh)
set_tests_properties(e2e.iso_build PROPERTIES
  FIXTURES_REQUIRED e2e_program
  ENVIRONMENT "KIV_BUILD_DIR=${CMAKE_BINARY_DIR};KIV_PROGRAM_DIR=${KIV_E2E_PREFIX};KIV_ISOINFO=${KIV_ISOINFO};KIV_GATE_LAYOUT=${kiv_gate_layout}"
  SKIP_RETURN_CODE 77
  TIMEOUT 300
  LABELS "e2e;cd")
