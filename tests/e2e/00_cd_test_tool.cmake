# cd_test_tool: the CD builder's gate writer and makecd script for the boot
# checks that make CD trees of their own (boot_check.sh, usb_check.sh), given
# to them as KIV_CD_TEST_TOOL.
if(NOT TARGET cdtool)
  return()
endif()
add_executable(cd_test_tool ${CMAKE_CURRENT_SOURCE_DIR}/cd_test_tool.cpp)
target_link_libraries(cd_test_tool PRIVATE cdtool)
set(KIV_CD_TEST_TOOL $<TARGET_FILE:cd_test_tool>)
